# Step 1: liquid runs from tank T1 to the suction valve; the learner is asked whether to open
# it; once open, the flow meter counts up to its reading and the pump lamp stops blinking.
ClearAllBmp
Load "DEMO" @ Background
$0 = ReadMessage 0, "INTRO"             ; the arrow's hint
$1 = ReadMessage 1, "INTRO"             ; the question
Bmp "ARROW", 310, 372 @ 1
Hint &1 @ 1
MoveTo 460, 372, 6 @ 1
Bmp "DIGIT", 860, 250 @ 2
Ident "0" @ 2
Bmp "LAMP", 808, 318 @ 3
Mask 5 @ 3
Sync
$2 = DialogBox &2, YESNO
If &3, "NO", open                       ; only an explicit No leaves the valve shut
Play "CLOSE", ASYNC
GoTo done
open:
Call "VALVE"
If UNIT, "SI", imperial
Bmp "ULPM", 860, 276 @ 5
MetrixLin 0.0, 120.0, 0, 12, 1 @ 2
Ident "120" @ 2
GoTo done
imperial:
Bmp "UGPM", 860, 276 @ 5
MetrixLin 0.0, 32.0, 0, 12, 1 @ 2
Ident "32" @ 2
done:
ShowMask

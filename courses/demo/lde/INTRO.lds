# The demo's opening step: the flow arrow runs along the pipe to the valve, the flow meter
# counts up, the pump light blinks, and the learner is asked whether to open the valve.
Load "DEMO" @ Background
Bmp "ARROW", 310, 372 @ 1
Hint "Flow" @ 1
Tag "VALVE" @ 1
MoveTo 460, 372, 6 @ 1
Bmp "DIGIT", 860, 250 @ 2
Ident "0" @ 2
MetrixLin 0.0, 120.0, 0, 12, 1 @ 2
Bmp "LAMP", 808, 318 @ 3
Mask 5 @ 3
Sync
$0 = DialogBox "Open the valve to let the flow through?", YESNO
If &1, "YES", closed
Call "VALVE"
Ident "120" @ 2
GoTo done
closed:
Play "CLOSE", ASYNC
done:
HideMask

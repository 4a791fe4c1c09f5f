# Step 4 (practical): the pump casing is empty. The suction valve V1, the vent cock VC1 and the
# motor M1 carry pop-up menus; the learner primes the pump through them.
ClearAllBmp
Load "DEMO" @ Background
$0 = ReadMessage 0, "PRIME"             ; the task
Bmp "ARROW", 310, 372 @ 33
Bmp "WHEEL", 512, 262 @ 30
Tag "VALVE" @ 30
SetCursor "curs17" @ 30                 ; a turning arrow over the handwheel
Bmp "VENT", 808, 306 @ 31
Tag "VENT" @ 31
SetCursor "curs36" @ 31                 ; a wrench over the vent cock
Bmp "MOTOR", 892, 360 @ 32
Tag "MOTOR" @ 32
SetCursor "curs09" @ 32                 ; a pointing hand over the motor
Bmp "VBODY", 500, 320 @ 34              ; V1's body answers like its handwheel
Tag "VALVE" @ 34
SetCursor "curs17" @ 34
Mask 4 @ 31
Suspend 30
ShowMask
$1 = DialogBox &1, OK

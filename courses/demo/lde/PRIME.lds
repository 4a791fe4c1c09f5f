# Step 4 (practical): the pump casing is empty. The suction valve V1, the vent cock VC1 and the
# motor M1 carry pop-up menus; the learner primes the pump through them.
ClearAllBmp
Load "DEMO" @ Background
$0 = ReadMessage 0, "PRIME"             ; the task
Bmp "ARROW", 310, 372 @ 33
Bmp "WHEEL", 512, 262 @ 30
Tag "VALVE" @ 30
Bmp "VENT", 808, 306 @ 31
Tag "VENT" @ 31
Bmp "MOTOR", 892, 360 @ 32
Tag "MOTOR" @ 32
Mask 4 @ 31
Suspend 30
ShowMask
$1 = DialogBox &1, OK

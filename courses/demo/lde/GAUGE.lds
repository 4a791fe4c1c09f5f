# Step 8 (estimate): on the control panel the needle of the dual-scale gauge PI-1 climbs while
# pump P1 starts, and settles on the reading the learner estimates.
ClearAllBmp
Load "BOARD" @ Background
Bmp "LAMP", 100, 200 @ 70
Mask 3 @ 70
Bmp "NEEDLE", 670, 205 @ 71
Play "MOTOR", ASYNC
Mask "NEEDLE", 3 @ 71
Suspend 27
AleaTerminate @ 71
Load "NEEDLE#06" @ 71
ShowMask

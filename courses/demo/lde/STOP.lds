# Step 10: the pump is shut down: V2 closes while the flow falls to zero, then the motor stops,
# then V1 closes.
ClearAllBmp
Load "LINE" @ Background
Bmp "LAMP", 543, 383 @ 90
Bmp "DIGIT", 826, 178 @ 91
If UNIT, "SI", imperial
Bmp "ULPM", 870, 214 @ 92
MetrixLin 120.0, 0.0, 0, 12, 1 @ 91
GoTo closing
imperial:
Bmp "UGPM", 870, 214 @ 92
MetrixLin 32.0, 0.0, 0, 12, 1 @ 91
closing:
Bmp "WHEEL", 672, 110 @ 93
Mask "WHEEL", 1 @ 93
Sync
AleaTerminate @ 93
Play "CLOSE", ASYNC
Suspend 10
Mask 0 @ 90
Play "STOP", ASYNC
Suspend 10
Bmp "WHEEL", 272, 300 @ 94
Mask "WHEEL", 1 @ 94
Suspend 16
AleaTerminate @ 94
Play "CLOSE", ASYNC

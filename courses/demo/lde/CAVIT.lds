# Step 9: the suction pressure falls; vapour bubbles form at the impeller eye, travel outwards
# and collapse on the vanes with a noise like gravel.
ClearAllBmp
Load "PUMPCUT" @ Background
Bmp "IMPEL", 265, 247 @ 80
Mask "IMPEL", 1 @ 80
Bmp "DIGIT", 40, 260 @ 81
If UNIT, "SI", imperial
Bmp "UBAR", 100, 260 @ 82
MetrixLin 1.0, 0.1, 1, 10, 1 @ 81
GoTo bubbles
imperial:
Bmp "UPSI", 100, 260 @ 82
MetrixLin 14.5, 1.5, 1, 10, 1 @ 81
bubbles:
head:
Loop 3, out
Bmp "BUBBLE", 326, 306 @ 83
Bmp "BUBBLE", 336, 318 @ 84
Bmp "BUBBLE", 322, 326 @ 85
Bmp "BUBBLE", 344, 300 @ 86
MoveTo 384, 258, 3 @ 83
MoveTo 404, 344, 3 @ 84
MoveTo 282, 378, 3 @ 85
MoveTo 296, 262, 3 @ 86
Sync
Play "GRAVEL", ASYNC
Clear @ 83
Clear @ 84
Clear @ 85
Clear @ 86
EndLoop head
out:

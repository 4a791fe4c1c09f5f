# Step 5 (estimate): liquid arrives through the filling pipe and the level in tank T1 rises to
# where the learner reads it on the scale.
ClearAllBmp
Load "TANK" @ Background
Bmp "ARROWL", 640, 43 @ 40
MoveTo 190, 43, 8 @ 40
Sync
Bmp "LEVEL", 62, 120 @ 41
SetFlat 2 @ 41
Play "FILL", ASYNC
Flat 280, 4 @ 41
Suspend 40
Play "FILL", ASYNC
Sync
Clear @ 40

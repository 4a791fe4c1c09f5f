# Step 3: the pump runs while discharge valve V2 is closed. The liquid stops at the valve and
# the discharge pressure rises to the pump's shut-off pressure.
ClearAllBmp
Load "LINE" @ Background
Bmp "LAMP", 543, 383 @ 20
Mask 2 @ 20
Play "MOTOR", ASYNC
Bmp "WHEEL", 672, 110 @ 21
Mask "WHEEL", 1 @ 21
Suspend 16
AleaTerminate @ 21
Play "CLOSE", ASYNC
Bmp "ARROW", 470, 218 @ 22
MoveTo 632, 218, 6 @ 22
Bmp "DIGIT", 600, 128 @ 23
If UNIT, "SI", imperial
Bmp "UBAR", 600, 154 @ 24
MetrixExp 0.0, 6.2, 1, 40, 3 @ 23
GoTo shown
imperial:
Bmp "UPSI", 600, 154 @ 24
MetrixExp 0.0, 90.0, 0, 40, 3 @ 23
shown:
Sync
ShowMask

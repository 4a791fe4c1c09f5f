# Throttling step, V1 "read the pressure" (from the level matrix): the suction pressure, just
# above atmospheric, on a display beside V1.
$0 = BmpExist 66
If &1, "TRUE", create
Clear @ 66
Clear @ 67
create:
Bmp "DIGIT", 214, 440 @ 66
If UNIT, "SI", imperial
Bmp "UBAR", 270, 440 @ 67
MetrixLin 0.0, 0.3, 1, 6, 1 @ 66
Exit
imperial:
Bmp "UPSI", 270, 440 @ 67
MetrixLin 0.0, 4.4, 1, 6, 1 @ 66

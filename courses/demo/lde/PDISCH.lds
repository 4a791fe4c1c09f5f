# Throttling step, V2 "read the pressure" (from the level matrix): the discharge pressure on a
# display beside gauge PI-1.
$0 = BmpExist 68
If &1, "TRUE", create
Clear @ 68
Clear @ 69
create:
Bmp "DIGIT", 600, 128 @ 68
If UNIT, "SI", imperial
Bmp "UBAR", 600, 154 @ 69
MetrixLin 0.0, 3.5, 1, 6, 1 @ 68
Exit
imperial:
Bmp "UPSI", 600, 154 @ 69
MetrixLin 0.0, 51.0, 0, 6, 1 @ 68

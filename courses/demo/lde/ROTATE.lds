# Priming step, menu of M1, "direction of rotation": the arrow on the motor blinks three times.
$0 = BmpExist 35
If &1, "TRUE", create
Clear @ 35
create:
Bmp "ROTARR", 915, 373 @ 35
Mask 3 @ 35
Suspend 24
Mask 0 @ 35

# Opening the valve: the wheel turns (a picture series) and the arrow carries on to the pump.
Bmp "WHEEL", 512, 262 @ 4
Mask "WHEEL", 1 @ 4
MoveTo 740, 372, 8 @ 1
Sync
Suspend 10
Clear @ 4

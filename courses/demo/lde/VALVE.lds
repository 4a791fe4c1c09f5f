# Opening the suction valve: the handwheel turns (a picture series), the liquid runs on to the
# pump.
Bmp "WHEEL", 512, 262 @ 4
Mask "WHEEL", 1 @ 4
Play "FILL", ASYNC
MoveTo 740, 372, 8 @ 1
Sync
Suspend 10
Clear @ 4

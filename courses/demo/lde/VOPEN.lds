# Priming step, menu of V1, "open": the handwheel turns and the liquid runs on to the pump.
Mask "WHEEL", 1 @ 30
Play "FILL", ASYNC
MoveTo 740, 372, 8 @ 33
Sync
AleaTerminate @ 30

# Throttling step, V2 "open fully" (from the level matrix): the handwheel turns a little and the
# flow meter stays at its high reading.
Mask "WHEEL", 1 @ 62
Suspend 8
AleaTerminate @ 62
Play "CLOSE", ASYNC
MoveTo 470, 218, 0 @ 65
MoveTo 960, 218, 10 @ 65

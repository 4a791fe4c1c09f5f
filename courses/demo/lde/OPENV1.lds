# Throttling step, V1 "open fully" (from the level matrix): the handwheel turns a little; the
# valve was already fully open.
Mask "WHEEL", 1 @ 61
Suspend 8
AleaTerminate @ 61
Play "CLOSE", ASYNC

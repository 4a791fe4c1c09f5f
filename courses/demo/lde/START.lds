# Step 2: the pump starts. The motor lamp blinks, the impeller turns, liquid enters at the
# impeller eye and leaves through the discharge nozzle at the top of the volute.
ClearAllBmp
Load "PUMPCUT" @ Background
Bmp "IMPEL", 265, 247 @ 10
Bmp "LAMP", 758, 262 @ 11
Mask 2 @ 11
Play "MOTOR", ASYNC
Suspend 10
Mask "IMPEL", 1 @ 10
Bmp "ARROW", 20, 310 @ 12
MoveTo 230, 310, 6 @ 12
Sync
Bmp "ARROW", 350, 130 @ 13
MoveTo 920, 130, 10 @ 13
Sync
Play "MOTOR", ASYNC
Mask -1 @ 11                             ; the lamp stays lit, the impeller keeps turning

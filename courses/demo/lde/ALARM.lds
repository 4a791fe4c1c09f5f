# Step 6: on the control panel the bearing temperature of P1 climbs; the alarm tile blinks, the
# horn sounds, and the reading keeps wandering near its high value.
ClearAllBmp
Load "BOARD" @ Background
Bmp "LAMP", 100, 200 @ 50
Bmp "DIGIT", 110, 420 @ 52
If UNIT, "SI", imperial
Bmp "UDEGC", 200, 420 @ 53
MetrixLin 55.0, 80.0, 1, 10, 1 @ 52
Sync
Bmp "ALARMT", 140, 300 @ 51
Mask 3 @ 51
Play "ALARM", LOOP
Alea 78.5, 81.5, 1, 5 @ 52
GoTo wait
imperial:
Bmp "UDEGF", 200, 420 @ 53
MetrixLin 131.0, 176.0, 0, 10, 1 @ 52
Sync
Bmp "ALARMT", 140, 300 @ 51
Mask 3 @ 51
Play "ALARM", LOOP
Alea 173.0, 179.0, 0, 5 @ 52
wait:
Suspend 60
Play "ALARM", STOP

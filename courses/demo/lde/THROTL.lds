# Step 7 (practical): the line delivers too much. Valves V1 and V2 carry pop-up menus; the flow
# meter FI-1 shows the excess and the learner throttles the right valve.
ClearAllBmp
Load "LINE" @ Background
$0 = ReadMessage 0, "THROTL"            ; the task
Bmp "LAMP", 543, 383 @ 60
Bmp "WHEEL", 272, 300 @ 61
Tag "SUCT" @ 61
SetCursor "curs17" @ 61
Bmp "WHEEL", 672, 110 @ 62
Tag "DISCH" @ 62
SetCursor "curs17" @ 62
Bmp "DIGIT", 826, 178 @ 63
Play "MOTOR", ASYNC
If UNIT, "SI", imperial
Bmp "ULPM", 870, 214 @ 64
MetrixLin 0.0, 150.0, 0, 12, 1 @ 63
GoTo flow
imperial:
Bmp "UGPM", 870, 214 @ 64
MetrixLin 0.0, 40.0, 0, 12, 1 @ 63
flow:
Bmp "ARROW", 470, 218 @ 65
MoveTo 960, 218, 10 @ 65
Sync
$1 = DialogBox &1, OK

# Priming step, menu of V1, "flow meter": the meter beside the pump reads zero, the pump does
# not deliver yet.
$0 = BmpExist 34
If &1, "TRUE", create
Clear @ 34
create:
Bmp "DIGIT", 860, 250 @ 34
MetrixLin 0.0, 0.0, 0, 0, 1 @ 34

; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M71
N00000 G00 Z1.00
N00005 G00 X1.000 Y1.000
N00010 G01 Z-2.0
G00 Z1.000
M30

; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M71
N00000 G00 Z1.00
N00005 G00 X1.000 Y2.000
N00010 G01 Z-2.0
N00015 G00 Z1.00
N00020 G00 X5.000 Y6.000
N00025 G01 Z-2.0
N00030 G00 Z1.000
N00035 M30

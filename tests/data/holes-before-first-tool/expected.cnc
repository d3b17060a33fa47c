; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M71
N00000 G00 Z2.50
N00005 G00 X1.000 Y1.000
N00010 G01 Z-1.5
N00015 G00 Z2.50
N00020 G00 Y2.000
N00025 G01 Z-1.5
N00030 G00 Z30
N00035 T1
N00040 M06
N00045 G00 Z20
N00050 G00 Z2.50
N00055 G00 X3.000 Y3.000
N00060 G01 Z-1.5
N00065 G00 Z2.500
N00070 M30

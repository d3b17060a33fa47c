; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; M71
; T1  C0.8   ; Tool-definition
; T2  C1.0  Z-1.5   ; Tool-definition
;% of Header Definition
N00000 G00 Z30
N00005 T2
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X1.000
N00030 G01 Z-1.5
N00035 G00 Z1.00
N00040 G00 X1.000 Y2.000
N00045 G01 Z-1.5
N00050 G00 Z1.00
N00055 G00 X3.000 Y4.000
N00060 G01 Z-1.5
N00065 G00 Z1.00
N00070 G00 X5.000 Y6.000
N00075 G01 Z-1.5
N00080 G00 Z1.00
N00085 G00 X7.000 Y8.000
N00090 G01 Z-1.5
N00095 G00 Z1.000
N00100 M30

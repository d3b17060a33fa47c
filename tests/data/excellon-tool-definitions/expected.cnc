; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; METRIC
; T1C0.8Z-1.5B3 ; Tool-definition
; T2C1.0 ; Tool-definition
; %
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z3
N00025 G00 X1.000 Y1.000
N00030 G01 Z-1.5
; T3C2.5F200S100 ; Tool-definition
N00035 G00 Z30
N00040 T3
N00045 M06
N00050 G00 Z20
N00055 G00 Z1.00
N00060 G00 X2.000 Y2.000
N00065 G01 Z-2.0
N00070 G00 Z30
N00075 T2
N00080 M06
N00085 G00 Z20
N00090 G00 Z1.00
N00095 G00 X3.000 Y3.000
N00100 G01 Z-2.0
; T150C3.0 ; Tool-definition
N00105 G00 Z30
N00110 T150
N00115 M06
N00120 G00 Z20
N00125 G00 Z1.00
N00130 G00 X4.000 Y4.000
N00135 G01 Z-2.0
; M30
N00140 G00 Z1.000
N00145 M30

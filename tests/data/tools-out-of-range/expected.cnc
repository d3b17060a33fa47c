; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; M71
; T98  Z-4  B4   ; Tool-definition
; T99  Z-5  B5   ; Tool-definition
; T150  Z-6  B6   ; Tool-definition
; T-1  Z-7  B7   ; Tool-definition
;% of Header Definition
N00000 G00 Z30
N00005 T98
N00010 M06
N00015 G00 Z20
N00020 G00 Z4
N00025 G00 X1.000 Y1.000
N00030 G01 Z-4
N00035 G00 Z30
N00040 T99
N00045 M06
N00050 G00 Z20
N00055 G00 Z1.00
N00060 G00 X2.000 Y2.000
N00065 G01 Z-2.0
N00070 G00 Z30
N00075 T98
N00080 M06
N00085 G00 Z20
N00090 G00 Z4
N00095 G00 X3.000 Y3.000
N00100 G01 Z-4
N00105 G00 Z30
N00110 T150
N00115 M06
N00120 G00 Z20
N00125 G00 Z1.00
N00130 G00 X4.000 Y4.000
N00135 G01 Z-2.0
N00140 G00 Z30
N00145 T-1
N00150 M06
N00155 G00 Z20
N00160 G00 Z1.00
N00165 G00 X5.000 Y5.000
N00170 G01 Z-2.0
N00175 G00 Z1.000
N00180 M30

; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; M71
; T1  C0.8  A1  A2  A3  A4  A5  A6  A7  A8  A9  A10  A11  A12  A13  A14  A15  A16  Z-0.5  B2   ; Tool-definition
;% of Header Definition
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
; G01 not implemented
; G02 not implemented
; G03 not implemented
; G04 not implemented
; G05 not implemented
; G06 not implemented
; G07 not implemented
; G08 not implemented
; G09 not implemented
; G10 not implemented
; G11 not implemented
; G12 not implemented
; G13 not implemented
; G14 not implemented
; G15 not implemented
; G16 not implemented
; G17 not implemented
; G18 not implemented
; G19 not implemented
; G20 not implemented
N00020 G00 Z2
N00025 G00 X100.000 Y200.000
N00030 G01 Z-0.5
N00035 G00 Z2
N00040 G00 X1.000 Y2.000
N00045 G01 Z-0.5
N00050 G00 Z2
N00055 G00 X1.500 Y2.000
N00060 G01 Z-0.5
N00065 G00 Z2
N00070 G00 X1.000
N00075 G01 Z-0.5
N00080 G00 Z1.000
N00085 M30

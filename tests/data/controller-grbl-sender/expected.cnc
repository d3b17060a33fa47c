; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; M71
; T1C0.8 = 0.800 mm ; Tool-definition
; T2C1.0Z-1.5B3 = 1.000 mm ; Tool-definition
; %
N00000 G21 G90
N00005 M05
N00010 G00 Z30
N00015 T1
N00020 M6 T1 (0.800 mm)
N00025 M03 S10000
N00030 G04 P2
N00035 F100
N00040 G00 Z20
N00045 G00 Z1.00
N00050 G00 X10.000 Y20.000
N00055 G01 Z-2.0
N00060 G00 Z1.00
N00065 G00 X15.500 Y20.000
N00070 G01 Z-2.0
N00075 G21 G90
N00080 M05
N00085 G00 Z30
N00090 T2
N00095 M6 T2 (1.000 mm)
N00100 M03 S10000
N00105 G04 P2
N00110 F100
N00115 G00 Z20
N00120 G00 Z3
N00125 G00 X-3.250 Y7.000
N00130 G01 Z-1.5
; M30
N00135 G00 Z1.000
N00140 M30

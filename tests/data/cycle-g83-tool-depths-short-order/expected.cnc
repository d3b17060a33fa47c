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
; T2  C1.0  Z-1.5  B3   ; Tool-definition
;% of Header Definition
N00000 G21 G90
N00005 M05
N00010 G00 Z30
N00015 T1
N00020 M00 (change to the tool named above, then resume)
N00025 M03 S10000
N00030 F100
N00035 G00 Z20
N00040 G00 Z1.00
N00045 G98 G83 X10.000 Y20.000 Z-2.0 R2.000 Q0.400 F100
N00050 X15.500 Y20.000
N00055 X15.500 Y25.000
N00060 X15.500 Y30.000
N00065 X40.000 Y20.000
N00070 G80
N00075 G21 G90
N00080 M05
N00085 G00 Z30
N00090 T2
N00095 M00 (change to the tool named above, then resume)
N00100 M03 S10000
N00105 F100
N00110 G00 Z20
N00115 G00 Z3
N00120 G98 G83 X-3.250 Y8.000 Z-1.5 R2.000 Q0.400 F100
N00125 X-3.250 Y7.000
N00130 G80
N00135 G00 Z1.000
N00140 M30

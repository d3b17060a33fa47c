; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; TZ   ; Tool-definition
; T1  C0.8   ; Tool-definition
; T2  C1.0   ; Tool-definition
;% of Header Definition
N00000 G21 G90
N00005 M05
N00010 G00 Z30
N00015 T1
N00020 M00 (change to the tool named above, then resume)
N00025 M03 S10000
N00030 G04 P2
N00035 F250
N00040 G00 Z20
N00045 G00 Z1.00
N00050 G00 X10.000 Y10.000
N00055 G01 Z-2.0
N00060 G00 Z1.00
N00065 G00 X20.000 Y10.000
N00070 G01 Z-2.0
N00075 G21 G90
N00080 M05
N00085 G00 Z30
N00090 T2
N00095 M00 (change to the tool named above, then resume)
N00100 M03 S10000
N00105 G04 P2
N00110 F250
N00115 G00 Z20
N00120 G00 Z1.00
N00125 G00 X5.000 Y5.000
N00130 G01 Z-2.0
N00135 G00 Z1.000
N00140 M30

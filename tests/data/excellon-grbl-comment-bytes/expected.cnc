; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; Board "Fr_se" by M_ller_ _rev2 ok_
; (made with tool_1.0)
; METRIC,TZ
; T1C0.8 = 0.800 mm ; Tool-definition
; %
N00000 G21 G90
N00005 M05
N00010 G00 Z30
N00015 T1
N00020 M00 (T1 0.800 mm: change tool, then cycle start)
N00025 M03 S10000
N00030 G04 P2
N00035 F100
N00040 G00 Z20
N00045 G00 Z1.00
N00050 G00 X1.000 Y1.000
N00055 G01 Z-2.0
; M30
N00060 G00 Z1.000
N00065 M30

; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M71
N00000 G00 Z30
N00005 
N00010 M05
N00015 T1
N00020 M06
N00025 
N00030 G00 Z1.00
N00035 G00 X1.000 Y1.000
N00040 G01 Z-2.0
N00045 G00 Z30
N00050 
N00055 M05
N00060 T2
N00065 M06
N00070 
N00075 G00 Z1.000
N00080 M30

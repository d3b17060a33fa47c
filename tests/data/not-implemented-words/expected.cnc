; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
N00000 G00 Z30
N00005 TZ
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X25.400
N00030 G01 Z-2.0
; M48
; TZ   ; Tool-definition
;% of Header Definition
N00035 G00 Z1.00
N00040 G00 X1000.000
N00045 G01 Z-2.0
; G90 not implemented
; g90 not implemented
N00050 G00 Z30
N00055 T1
N00060 M06
N00065 G00 Z20
; C0.8 not implemented
; ICI not implemented
; 12 not implemented
; AB not implemented
N00070 M06
N00075 m48
; R02 not implemented
N00080 G00 Z1.00
N00085 G00 X1.000 Y2.000
N00090 G01 Z-2.0
N00095 G00 Z1.000
N00100 M30

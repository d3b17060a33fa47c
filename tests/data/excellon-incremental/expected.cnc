; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; METRIC
; ICI,ON
; T1C0.8 ; Tool-definition
; %
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X10.000 Y10.000
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X15.000 Y10.000
N00045 G01 Z-2.0
N00050 G00 Z1.00
N00055 G00 X15.000 Y7.500
N00060 G01 Z-2.0
; G90
N00065 G00 Z1.00
N00070 G00 X1.000 Y1.000
N00075 G01 Z-2.0
; G91
N00080 G00 Z1.00
N00085 G00 X2.000 Y2.000
N00090 G01 Z-2.0
; M30
N00095 G00 Z1.000
N00100 M30

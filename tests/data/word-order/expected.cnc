; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M71
N00000 G00 Z1.00
N00005 G00 X1.000 Y2.000
N00010 G01 Z-2.0
N00015 G00 Z1.00
N00020 G00 X1.000 Y2.000
N00025 G01 Z-2.0
N00030 G00 Z1.00
N00035 G00 X2.000 Y3.000
N00040 G01 Z-2.0
N00045 G00 Z1.00
N00050 G00 Y5.000
N00055 G01 Z-2.0
N00060 G00 Z1.00
N00065 G00 X7.000
N00070 G01 Z-2.0
; M72 Attention tool diameter indicated in inches
; M71
N00075 G00 Z1.00
N00080 G00 X0.254
N00085 G01 Z-2.0
; M72 Attention tool diameter indicated in inches
; M71
N00090 G00 Z1.00
N00095 G00 X10.000
N00100 G01 Z-2.0
N00105 G00 Z30
N00110 T1
N00115 M06
N00120 G00 Z20
N00125 G00 Z1.00
N00130 G00 X5.000 Y5.000
N00135 G01 Z-2.0
N00140 G00 Z1.000
N00145 M30

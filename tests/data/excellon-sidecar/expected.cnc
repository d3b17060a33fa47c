; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; %
; T1C.015F095S3 ; Tool-definition
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X10.950 Y12.700
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X25.500 Y10.000
N00045 G01 Z-2.0
; %
; T2C.030 ; Tool-definition
N00050 G00 Z30
N00055 T2
N00060 M06
N00065 G00 Z20
N00070 G00 Z1.00
N00075 G00 X30.000 Y30.000
N00080 G01 Z-2.0
; M30
N00085 G00 Z1.000
N00090 M30

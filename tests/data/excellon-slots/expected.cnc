; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; METRIC,TZ
; FMAT,2
; T1C1.0 ; Tool-definition
; %
; G90
; G05
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X10.000 Y-10.000
N00030 G01 Z-2.0
N00035 G01 X10.000 Y-12.500
N00040 G01 Z1.00
; G05
N00045 G00 Z1.00
N00050 G00 X20.000 Y-10.000
N00055 G01 Z-2.0
N00060 G00 Z1.00
N00065 G00 X30.000 Y-10.000
N00070 G01 Z-2.0
N00075 G01 X25.000 Y-10.000
N00080 G01 Z1.00
; G05
; M30
N00085 G00 Z1.000
N00090 M30

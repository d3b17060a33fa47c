; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; METRIC
; T1C0.8 ; Tool-definition
; T2C2.0 ; Tool-definition
; %
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X10.000 Y10.000
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X40.000 Y10.000
N00045 G01 Z-2.0
N00050 G00 Z30
N00055 T2
N00060 M06
N00065 G00 Z20
; M15
N00070 G00 Z1.00
N00075 G00 X0.000 Y0.000
N00080 G01 Z-2.0
N00085 G01 X10.000 Y0.000
N00090 G03 X20.000 Y10.000 I0.000 J10.000
N00095 G01 Z1.00
; M16
; M30
N00100 G00 Z1.000
N00105 M30

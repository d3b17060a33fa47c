; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; METRIC,TZ
; T1C0.8 ; Tool-definition
; T2C1.0 ; Tool-definition
; %
G00 Z30
T1
M06
G00 Z20
G00 Z1.00
G00 X10.000 Y20.000
G01 Z-2.0
G00 Z1.00
G00 X15.500 Y20.000
G01 Z-2.0
G00 Z30
T2
M06
G00 Z20
G00 Z1.00
G00 X-3.250 Y7.000
G01 Z-2.0
G01 X-3.250 Y9.000
G01 Z1.00
; M30
G00 Z1.000
M30

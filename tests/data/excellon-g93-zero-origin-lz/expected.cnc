; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; INCH
; T1C0.02 ; Tool-definition
; %
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X31.750 Y25.400
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X25.400 Y52.070
N00045 G01 Z-2.0
; M30
N00050 G00 Z1.000
N00055 M30

; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; G04 not implemented
; copper not implemented
N00000 G00 Z30
N00005 top
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 Y0.610
N00030 G01 Z-2.0
; C not implemented
; 0.0600 not implemented
; D10 not implemented
; D03 not implemented
N00035 G00 Z1.00
N00040 G00 X317.500 Y127.000
N00045 G01 Z-2.0
; D03 not implemented
N00050 G00 Z1.00
N00055 G00 X571.500 Y127.000
N00060 G01 Z-2.0
N00065 M02
G00 Z1.000
M30

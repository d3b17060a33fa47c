; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M95
; M48
N00000 F200
N00005 S65
N00010 F300
N00015 S70
N00020 G00 Z1.00
N00025 G00 X1000.000 Y2000.000
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X25.400 Y50.800
N00045 G01 Z-2.0
;% of Header Definition
N00050 G00 Z1.00
N00055 G00 X1000.000
N00060 G01 Z-2.0
; M48
; M95
N00065 G00 Z1.00
N00070 G00 X1000.000
N00075 G01 Z-2.0
N00080 G00 Z1.000
N00085 M30

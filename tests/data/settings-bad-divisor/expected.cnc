; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M72 Attention tool diameter indicated in inches
N00000 G00 Z1.00
N00005 G00 X25.400 Y50.800
N00010 G01 Z-2.0
N00015 G00 Z1.000
N00020 M30

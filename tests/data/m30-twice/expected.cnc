; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
N00000 G00 Z1.000
N00005 M30
N00010 G00 Z1.00
N00015 G00 X0.025 Y0.051
N00020 G01 Z-2.0
N00025 G00 Z1.000
N00030 M30

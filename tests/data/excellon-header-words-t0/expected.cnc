; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; a board
; VER,1
; FMAT,2
; INCH,TZ
; DETECT,ON
; ATC,ON
; ICI,OFF
; T1C0.02 ; Tool-definition
; %
; M47
; M72
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X2.540 Y2.540
N00030 G01 Z-2.0
; M06
; T0 unloads the tool
; M30
N00035 G00 Z1.000
N00040 M30

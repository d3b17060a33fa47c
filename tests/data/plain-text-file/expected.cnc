; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; Dear not implemented
; board not implemented
; house not implemented
; please not implemented
; drill not implemented
N00000 G00 Z30
N00005 the
N00010 M06
N00015 G00 Z20
; holes not implemented
; as not implemented
; discussed. not implemented
G00 Z1.000
M30

; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; TZ   ; Tool-definition
; T1  C0.0350   ; Tool-definition
; T2  C0.0400   ; Tool-definition
;% of Header Definition
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X317.500 Y127.000
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X571.500 Y127.000
N00045 G01 Z-2.0
N00050 G00 Z1.00
N00055 G00 X571.500 Y952.500
N00060 G01 Z-2.0
N00065 G00 Z30
N00070 T2
N00075 M06
N00080 G00 Z20
N00085 G00 Z1.00
N00090 G00 X63.500 Y63.500
N00095 G01 Z-2.0
N00100 G00 Z1.00
N00105 G00 X952.500 Y889.000
N00110 G01 Z-2.0
N00115 G00 Z1.000
N00120 M30

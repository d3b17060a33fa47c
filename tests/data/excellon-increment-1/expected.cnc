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
N00000 G00 Z30
N00001 T1
N00002 M06
N00003 G00 Z20
N00004 G00 Z1.00
N00005 G00 X10.000 Y20.000
N00006 G01 Z-2.0
N00007 G00 Z1.00
N00008 G00 X15.500 Y20.000
N00009 G01 Z-2.0
N00010 G00 Z30
N00011 T2
N00012 M06
N00013 G00 Z20
N00014 G00 Z1.00
N00015 G00 X-3.250 Y7.000
N00016 G01 Z-2.0
N00017 G01 X-3.250 Y9.000
N00018 G01 Z1.00
; M30
N00019 G00 Z1.000
N00020 M30

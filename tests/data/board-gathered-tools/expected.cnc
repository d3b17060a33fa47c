; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; METRIC,TZ
; T1C0.800 ; Tool-definition
; T2C1.000 ; Tool-definition
; T3C0.800 ; Tool-definition
; %
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
; T3 (0.800 mm) is drilled in this tool change: the same diameter
N00020 G00 Z1.00
N00025 G00 X10.000 Y10.000
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X12.000 Y10.000
N00045 G01 Z-2.0
N00050 G00 Z1.00
N00055 G00 X14.000 Y10.000
N00060 G01 Z-2.0
N00065 G00 Z1.00
N00070 G00 X16.000 Y10.000
N00075 G01 Z-2.0
N00080 G00 Z30
N00085 T2
N00090 M06
N00095 G00 Z20
N00100 G00 Z1.00
N00105 G00 X20.000 Y20.000
N00110 G01 Z-2.0
N00115 G00 Z1.00
N00120 G00 X22.000 Y20.000
N00125 G01 Z-2.0
; back to the first drill
; M30
N00130 G00 Z1.000
N00135 M30

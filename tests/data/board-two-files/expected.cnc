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
; %
; Drill file 2: second.drl
; M48
; INCH,TZ
; T1C0.0394 ; Tool-definition
; T2C0.0315 ; Tool-definition
; %
; T1 of second.drl is written as T3: T1 of an earlier drill file is another tool
; T2 of second.drl is written as T4: T2 of an earlier drill file is another tool
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
; T4 (0.800 mm) is drilled in this tool change: the same diameter
N00020 G00 Z1.00
N00025 G00 X10.000 Y10.000
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X11.000 Y10.000
N00045 G01 Z-2.0
N00050 G00 Z1.00
N00055 G00 X15.240 Y10.160
N00060 G01 Z-2.0
N00065 G00 Z1.00
N00070 G00 X10.160 Y10.160
N00075 G01 Z-2.0
N00080 G01 X20.320 Y10.160
N00085 G01 Z1.00
N00090 G00 Z30
N00095 T2
N00100 M06
N00105 G00 Z20
; T3 (1.001 mm) is drilled in this tool change: the same diameter
N00110 G00 Z1.00
N00115 G00 X20.000 Y20.000
N00120 G01 Z-2.0
N00125 G00 Z1.00
N00130 G00 X10.160 Y20.320
N00135 G01 Z-2.0
; M30
N00140 G00 Z1.000
N00145 M30

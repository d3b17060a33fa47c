; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; LZ not implemented
; T1  C0.02   ; Tool-definition
;% of Header Definition
N00000 G00 Z30
N00005 T1
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X3.226 Y0.025
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X0.038 Y0.038
N00045 G01 Z-2.0
; R02 not implemented
N00050 G00 Z1.00
N00055 G00 X2.540
N00060 G01 Z-2.0
; G93 not implemented
N00065 G00 Z1.00
N00070 G00 X0.000 Y0.000
N00075 G01 Z-2.0
; G85 not implemented
N00080 G00 Z1.00
N00085 G00 X0.051 Y0.025
N00090 G01 Z-2.0
; G00 not implemented
N00095 G00 Z1.00
N00100 G00 X0.025 Y0.025
N00105 G01 Z-2.0
N00110 M15
; G01 not implemented
N00115 G00 Z1.00
N00120 G00 X0.051 Y0.051
N00125 G01 Z-2.0
N00130 M16
N00135 G00 Z1.000
N00140 M30

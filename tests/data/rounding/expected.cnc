; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M71
N00000 G00 Z1.00
N00005 G00 X0.063 Y-0.063
N00010 G01 Z-2.0
N00015 G00 Z1.00
N00020 G00 X10.000 Y-10.000
N00025 G01 Z-2.0
N00030 G00 Z1.00
N00035 G00 X0.001 Y1.000
N00040 G01 Z-2.0
N00045 G00 Z1.00
N00050 G00 X2.001 Y0.002
N00055 G01 Z-2.0
N00060 G00 Z1.00
N00065 G00 X0.123 Y0.432
N00070 G01 Z-2.0
; M72 Attention tool diameter indicated in inches
N00075 G00 Z1.00
N00080 G00 X63.500 Y15.875
N00085 G01 Z-2.0
G00 Z1.000
M30

; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; %
; T01 Holesize 1. = 8.000000 Tolerance = +0.000000/-0.000000 PLATED MILS Quantity = 3
N00000 G00 Z30
N00005 T01
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X33.147 Y46.863
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X36.830 Y46.863
N00045 G01 Z-2.0
N00050 G00 Z1.00
N00055 G00 X304.800 Y24.384
N00060 G01 Z-2.0
; M30
N00065 G00 Z1.000
N00070 M30

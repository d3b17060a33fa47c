; Conversion of file :input.drl to CNC-code
; Conversion done by KORVEX_WIN
; The file can be run with a CNC-Machine
; <maker, release and version>
; <updates>
; ----------------------------------------------
;
; M48
; FILE_FORMAT=4:4
; METRIC,LZ
; T1F00S00C0.8000 ; Tool-definition
; %
N00000 G00 Z30
N00005 T01
N00010 M06
N00015 G00 Z20
N00020 G00 Z1.00
N00025 G00 X23.650 Y15.976
N00030 G01 Z-2.0
N00035 G00 Z1.00
N00040 G00 X24.200 Y15.976
N00045 G01 Z-2.0
N00050 G00 Z1.00
N00055 G00 X24.200 Y10.000
N00060 G01 Z-2.0
N00065 G00 Z1.00
N00070 G00 X1234.568 Y1.000
N00075 G01 Z-2.0
; M30
N00080 G00 Z1.000
N00085 M30

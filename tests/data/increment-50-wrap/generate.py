#!/usr/bin/env python3
"""Writes input.drl of the increment-50-wrap case: enough holes that, with the increment 50, the line
numbers pass 99999 and wrap to N00000 (the 2001st numbered line)."""
import os

HOLES = 670  # 4 tool-change lines + 3 lines per hole + retract and M30 = 2016 numbered lines

lines = ["M48", "M71", "T1C1.0", "%", "T1"]
for i in range(HOLES):
    lines.append("X%.2fY%.2f" % ((i % 26) * 2.54, (i // 26) * 2.54))
lines.append("M30")
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "input.drl"), "wb") as out:
    out.write("".join(line + "\r\n" for line in lines).encode("ascii"))

#!/usr/bin/env python3
"""How far the default reading's warnings can be trusted: for every drill file given (and a few variants
written here), convert with the default reading at divisors 1, 10 and 1000 and with --excellon, compare the
two programs, and count the runs that misplace holes, how many of those warn, and how many correct runs warn.

A run misplaces when the points it plunges at differ (beyond 0.01 mm, as multisets) from those of the
--excellon program, or when the --excellon program mills paths the default reading cannot. This reads only
the written programs, not the cross-check's own verdict. Not part of make test.

    tools/trust-figures.py [--any-warning] build/app/korvex-cli /work/shared/realdata/drill/*.[!m]*
"""
import os
import subprocess
import sys
import tempfile

TOLERANCE = 0.01
DIVISORS = ["1", "10", "1000"]
CROSS_CHECK = ("Warning: this reading drills", "Warning: where the holes land could not be checked",
               "Warning: the Excellon reading finds no tool")


def words(line):
    found = {}
    for part in line.split()[1:] if line.startswith("N") else line.split():
        if part[:1] in "GXYZIJ" and len(part) > 1:
            found.setdefault(part[0], part[1:])
    return found


def plunges(program):
    """Points where the program feeds down, and whether it mills any path."""
    points, milled = [], False
    x = y = 0.0
    for line in program.splitlines():
        if line.startswith(";"):
            continue
        w = words(line)
        g = w.get("G")
        if "X" in w or "Y" in w:
            if g in ("01", "1", "02", "2", "03", "3"):
                milled = True
            x = float(w.get("X", x))
            y = float(w.get("Y", y))
        elif g in ("01", "1") and "Z" in w:
            points.append((x, y))
    return sorted(points), milled


def same(a, b):
    if len(a) != len(b):
        return False
    return all(abs(p[0] - q[0]) <= TOLERANCE and abs(p[1] - q[1]) <= TOLERANCE for p, q in zip(a, b))


def run(cli, args, drill, out):
    result = subprocess.run([cli] + args + [drill, "-o", out], capture_output=True, text=True)
    program = open(out, encoding="latin-1").read() if result.returncode == 0 and os.path.exists(out) else None
    return result.returncode, result.stderr, program


def variants(folder):
    """Inch 2:4 TZ with a format comment, undeclared LZ, G91 and ICI,ON, from one 100 x 99 mm board."""
    holes = [(2.5 + 9.5 * i, 1.5 + 9.7 * j) for i in range(11) for j in range(11) if (i + j) % 3 == 0]
    files = {}
    tz = ["M48", ";FILE_FORMAT=2:4", "INCH,TZ", "T1C0.0350", "%", "T1"]
    tz += ["X%dY%d" % (round(x / 25.4 * 10000), round(y / 25.4 * 10000)) for x, y in holes] + ["M30"]
    files["inch-2-4-tz-format-comment"] = tz

    def lz(v):  # 3:3 mm, leading zeros written, trailing ones left out
        text = "%07.3f" % v
        digits = text.replace(".", "").rstrip("0")
        return digits or "0"
    files["lz-undeclared"] = ["M48", "METRIC", "T1C0.8", "%", "T1"] + [
        "X%sY%s" % (lz(x), lz(y)) for x, y in holes] + ["M30"]
    steps, last = [], (0.0, 0.0)
    for x, y in holes:
        steps.append("X%.3fY%.3f" % (x - last[0], y - last[1]))
        last = (x, y)
    files["g91"] = ["M48", "METRIC", "T1C0.8", "%", "T1", "G91"] + steps + ["M30"]
    files["ici-on"] = ["M48", "METRIC", "ICI,ON", "T1C0.8", "%", "T1"] + steps + ["M30"]
    paths = []
    for name, lines in files.items():
        path = os.path.join(folder, "variant-" + name + ".drl")
        with open(path, "w", newline="") as f:
            f.write("\r\n".join(lines) + "\r\n")
        paths.append(path)
    return paths


def main():
    # --any-warning: count every "Warning: " line, for a build from before the cross-check.
    prefixes = "Warning: " if sys.argv[1] == "--any-warning" else CROSS_CHECK
    args = sys.argv[2:] if sys.argv[1] == "--any-warning" else sys.argv[1:]
    cli, drills = args[0], args[1:]
    folder = tempfile.mkdtemp(prefix="korvex-trust-")
    totals = {"real": [0, 0, 0, 0, 0], "variant": [0, 0, 0, 0, 0]}  # runs, misplaced, warned, correct+warned, unknown
    for drill in drills + variants(folder):
        kind = "variant" if os.path.basename(drill).startswith("variant-") else "real"
        code, _, reference = run(cli, ["--excellon"], drill, os.path.join(folder, "excellon.cnc"))
        for divisor in DIVISORS:
            plain_code, log, program = run(cli, ["--divisor", divisor], drill, os.path.join(folder, "plain.cnc"))
            warned = any(line.startswith(prefixes) for line in log.splitlines())
            t = totals[kind]
            t[0] += 1
            if reference is None or program is None:
                t[4] += 1
                verdict = "unknown (--excellon exit %d, default exit %d)" % (code, plain_code)
            else:
                expected, milled = plunges(reference)
                got, _ = plunges(program)
                misplaced = milled or not same(expected, got)
                t[1] += misplaced
                t[2] += misplaced and warned
                t[3] += (not misplaced) and warned
                verdict = "misplaced" if misplaced else "correct"
            print("%-45s divisor %-5s %-10s %s" % (os.path.basename(drill), divisor, verdict,
                                                     "warned" if warned else "silent"))
    for kind, t in totals.items():
        print("%s: %d runs, %d misplace holes, %d of those warn, %d correct runs warn, %d not comparable" %
              (kind, t[0], t[1], t[2], t[3], t[4]))


if __name__ == "__main__":
    main()

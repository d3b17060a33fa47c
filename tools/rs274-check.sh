#!/bin/sh
# Runs every real drill file through korvex-cli for LinuxCNC and then through LinuxCNC's own interpreter
# (rs274, unpacked from Debian's linuxcnc-uspace without installing it), and checks the GRBL programs for
# codes GRBL 1.1 refuses. Each file is also converted with the drilling cycles (--cycle g81, and --cycle g83
# --peck 0.5, and G81 with the tools gathered in diameter order): rs274 must accept those programs, they must pass --verify, and the XY points where rs274 plunges
# (a feed down in Z) must be the plain program's. Reports per file; exits 1 when any file fails.
#
#   tools/rs274-check.sh [KORVEX_CLI]
#
# DRILL_DIR   the drill files (default: the shared real-file folder beside the checkout)
# RS274_ROOT  where rs274 is unpacked (default /work/rs274/root; unpacked there when missing)
# FEED        drilling feed rate for the programs (default 100)
set -u

here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build/app/korvex-cli}
feed=${FEED:-100}
rs274_root=${RS274_ROOT:-/work/rs274/root}
if [ -z "${DRILL_DIR:-}" ]; then
    for candidate in "$here/../shared/realdata/drill" "$here/../../shared/realdata/drill" /work/shared/realdata/drill; do
        if [ -d "$candidate" ]; then DRILL_DIR=$candidate; break; fi
    done
fi
if [ ! -x "$cli" ] || [ ! -d "${DRILL_DIR:-}" ]; then
    echo "usage: $0 [KORVEX_CLI]  (needs a built korvex-cli and DRILL_DIR; have '$cli', '${DRILL_DIR:-}')" >&2
    exit 2
fi

if [ ! -x "$rs274_root/usr/bin/rs274" ]; then
    echo "Unpacking LinuxCNC's interpreter into $rs274_root ..."
    debs=$(mktemp -d)
    (cd "$debs" && apt-get download linuxcnc-uspace libboost-python1.74.0 >/dev/null) || exit 2
    mkdir -p "$rs274_root"
    for deb in "$debs"/*.deb; do dpkg-deb -x "$deb" "$rs274_root" || exit 2; done
    rm -rf "$debs"
fi
rs274=$rs274_root/usr/bin/rs274
export LD_LIBRARY_PATH="$rs274_root/usr/lib:$rs274_root/usr/lib/x86_64-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

# The reading that knows real Excellon files, where this korvex-cli has it.
reading=
if "$cli" --help 2>/dev/null | grep -q -- '--excellon'; then
    reading=--excellon
fi

# The distinct XY points of rs274's plunges (feeds that go down in Z and end below the surface), each with
# the deepest Z reached there.
plunge_points() {
    awk -F'[(,)]' '/STRAIGHT_TRAVERSE|STRAIGHT_FEED/ {
        x = $2 + 0; y = $3 + 0; z = $4 + 0
        if ($0 ~ /STRAIGHT_FEED/ && x == px && y == py && z < pz && z < 0) {
            at = sprintf("%.4f %.4f", x, y)
            if (!(at in deepest) || z < deepest[at]) deepest[at] = z
        }
        px = x; py = y; pz = z
    } END { for (at in deepest) printf "%s %.4f\n", at, deepest[at] }' "$1" | sort
}

# One cycle's run of a file: "ok" or what failed. Needs $drill, $work and the plain run's points.
check_cycle() {
    cycle_program=$work/cycle.ngc
    # shellcheck disable=SC2086
    "$cli" $reading --controller linuxcnc --feed "$feed" --verify "$@" -o "$cycle_program" "$drill" \
        >"$work/cycle.log" 2>&1 || { echo "exit $?"; return; }
    grep -q '^Verified against the drill file' "$work/cycle.log" || { echo "not verified"; return; }
    "$rs274" -g -t "$work/tools.tbl" "$cycle_program" >"$work/cycle-canon.txt" 2>&1 || { echo "rs274 rc $?"; return; }
    plunge_points "$work/cycle-canon.txt" >"$work/cycle-points.txt"
    if ! cmp -s "$work/plain-points.txt" "$work/cycle-points.txt"; then
        echo "$(comm -3 "$work/plain-points.txt" "$work/cycle-points.txt" | wc -l) points differ"
        return
    fi
    echo "ok $(grep -c . "$work/cycle-points.txt")"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
printf '%-42s %-8s %-44s %-14s %-10s %-10s %-10s %-10s %s\n' FILE KORVEX VERIFIED RS274 GRBL G81 'G83 Q0.5' GATHERED STATUS
for drill in "$DRILL_DIR"/*; do
    case $drill in *.md) continue ;; esac
    name=$(basename "$drill")
    program=$work/$name.ngc
    log=$work/$name.log
    # shellcheck disable=SC2086 # $reading is one word or none
    "$cli" $reading --controller linuxcnc --feed "$feed" --verify -o "$program" "$drill" >"$log" 2>&1
    korvex_status=$?
    verified=$(grep -m1 -E '^(Verified against the drill file[^:]*|Not verified):' "$log" || true)
    [ -n "$verified" ] || verified=$(grep -m1 '^Warning: ' "$log" || echo "-")

    # rs274 wants every tool it is asked to load in its tool table.
    grep -oE '^(N[0-9]+ )?T[0-9]+' "$program" 2>/dev/null | sed 's/.*T//' | sort -un |
        awk '$1 > 0 { printf "T%d P%d Z0 D0\n", $1, $1 }' >"$work/tools.tbl"
    "$rs274" -g -t "$work/tools.tbl" "$program" >"$work/canon.txt" 2>&1
    rs274_status=$?
    # A plunge: a feed straight down in Z, ending below the surface.
    plunges=$(awk -F'[(,)]' '/STRAIGHT_TRAVERSE|STRAIGHT_FEED/ {
                  x = $2 + 0; y = $3 + 0; z = $4 + 0
                  if ($0 ~ /STRAIGHT_FEED/ && x == px && y == py && z < pz && z < 0) n++
                  px = x; py = y; pz = z
              } END { print n + 0 }' "$work/canon.txt")
    expected=$(echo "$verified" | sed -n 's/^Verified against the drill file.*: \([0-9]*\) holes\{0,1\}, \([0-9]*\) slots\{0,1\}, \([0-9]*\) routes\{0,1\}.*/\1 \2 \3/p' |
        awk '{ print $1 + $2 + $3 }')

    # shellcheck disable=SC2086
    "$cli" $reading --controller grbl --feed "$feed" -q -o "$work/grbl.nc" "$drill" >"$work/grbl.log" 2>&1
    grbl=$(grep -c -E 'does not accept|reads at most|before any F word' "$work/grbl.log")

    plunge_points "$work/canon.txt" >"$work/plain-points.txt"
    g81=$(check_cycle --cycle g81)
    g83=$(check_cycle --cycle g83 --peck 0.5)
    gathered=$(check_cycle --cycle g81 --tool-order diameter)

    status=ok
    if [ "$korvex_status" -ne 0 ] || [ "$rs274_status" -ne 0 ] || [ "$grbl" -ne 0 ] ||
        [ "${expected:-x}" != "$plunges" ] || [ "${g81%% *}" != ok ] || [ "${g83%% *}" != ok ] ||
        [ "${gathered%% *}" != ok ]; then
        status=FAIL
        failures=$((failures + 1))
    fi
    printf '%-42s %-8s %-44.44s %-14s %-10s %-10s %-10s %-10s %s\n' "$name" "exit $korvex_status" "$verified" \
        "rc $rs274_status, $plunges" "$grbl refused" "$g81" "$g83" "$gathered" "$status"
    if [ "$rs274_status" -ne 0 ]; then
        grep -v -E '^ *[0-9]+ N' "$work/canon.txt" | head -n 3 | sed 's/^/    rs274: /'
    fi
    if [ "$grbl" -ne 0 ]; then
        grep -E 'does not accept|reads at most|before any F word' "$work/grbl.log" | head -n 3 | sed 's/^/    grbl: /'
    fi
done
echo "$failures file(s) failed"
[ "$failures" -eq 0 ]

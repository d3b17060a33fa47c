#!/bin/sh
# Runs every real drill file through korvex-cli for GRBL (--excellon --controller grbl --feed 100 --verify) with
# each --tool-change choice (pause, sender, split: every part), and each program through GRBL 1.1's own parser
# and planner: gvalidate from grbl-sim, built for the PC around
# GRBL's unchanged sources. Also counts the bytes GRBL acts on the moment it receives them ('!', '~', '?',
# Ctrl-X, 0x80 and up), which gvalidate cannot see because it reads past GRBL's serial interrupt.
# Reports per file; exits 1 when any file fails. Not part of `make test`.
#
#   tools/grbl-check.sh [KORVEX_CLI]
#
# GRBL_SRC      gnea/grbl: a checkout or a bare git directory (cloned from GitHub when missing)
# GRBL_SIM_SRC  grbl/grbl-sim: the same
# GRBL_ROOT     where both are unpacked and built (default /work/grbl)
# DRILL_DIR     the drill files (default: the shared real-file folder beside the checkout)
set -u

here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build/app/korvex-cli}
root=${GRBL_ROOT:-/work/grbl}
if [ -z "${DRILL_DIR:-}" ]; then
    for candidate in "$here/../shared/realdata/drill" "$here/../../shared/realdata/drill" /work/shared/realdata/drill; do
        if [ -d "$candidate" ]; then DRILL_DIR=$candidate; break; fi
    done
fi
if [ ! -x "$cli" ] || [ ! -d "${DRILL_DIR:-}" ]; then
    echo "usage: $0 [KORVEX_CLI]  (needs a built korvex-cli and DRILL_DIR; have '$cli', '${DRILL_DIR:-}')" >&2
    exit 2
fi

# unpack SOURCE URL TARGET: a checkout is copied, a bare git directory archived, nothing cloned.
unpack() {
    if [ -z "$1" ]; then
        git clone -q --depth 1 "$2" "$3.git" || exit 2
        set -- "$3.git" "$2" "$3"
    fi
    mkdir -p "$3"
    if [ -d "$1/.git" ] || [ ! -d "$1/objects" ]; then
        cp -R "$1"/. "$3" || exit 2
    else
        git --git-dir="$1" archive HEAD | tar -x -C "$3" || exit 2
    fi
}

validator=$root/grbl/grbl/grbl-sim/gvalidate.exe
if [ ! -x "$validator" ]; then
    echo "Building GRBL's validator in $root ..."
    rm -rf "$root/grbl" "$root/sim"
    unpack "${GRBL_SRC:-}" https://github.com/gnea/grbl "$root/grbl"
    unpack "${GRBL_SIM_SRC:-}" https://github.com/grbl/grbl-sim "$root/grbl/grbl/grbl-sim"
    # GCC 10 and later no longer merge the tentative definitions in grbl-sim's AVR stand-ins.
    make -C "$root/grbl/grbl/grbl-sim" gvalidate FLAGS="-g -O2 -fcommon" >"$root/build.log" 2>&1 || {
        echo "building gvalidate failed; see $root/build.log" >&2
        exit 2
    }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# validate PROGRAM: the program's real-time bytes, then gvalidate's exit status and error lines, into $result;
# counts a failure.
validate() {
    realtime=$(LC_ALL=C tr -cd '!~?\030\200-\377' <"$1" 2>/dev/null | wc -c)
    # M00 waits for a cycle start that the validator never sends; M01 takes the same path through the parser.
    # A sender's tool-change helper holds M6 back from GRBL and runs its own routine instead.
    sed -e 's/\bM00\b/M01/' -e '/\bM6 T[0-9]/d' "$1" >"$work/validate.nc" 2>/dev/null
    # Run where its EEPROM.DAT (the simulated settings memory) may stay.
    (cd "$root" && timeout 300 "$validator" "$work/validate.nc") >"$work/gvalidate" 2>&1
    gvalidate=$?
    errors=$(grep -c '^error' "$work/gvalidate")
    result="$realtime $gvalidate $errors"
    if [ "$realtime" -ne 0 ] || [ "$gvalidate" -ne 0 ] || [ "$errors" -ne 0 ]; then
        bad=1
        grep -v '^ok' "$work/gvalidate" | head -3
    fi
}

printf '%-42s %-7s %-6s %-6s %-9s %-9s %s\n' FILE MODE KORVEX PARTS LINES REALTIME GVALIDATE
for drill in "$DRILL_DIR"/*; do
    case $drill in *.md) continue ;; esac
    name=$(basename "$drill")
    for mode in pause sender split board; do
        rm -f "$work"/out*
        program=$work/out.nc
        # "board": the board job's options together (gathered tools on a rack, milled holes as helices, the back
        # side with alignment holes), paused for each change.
        change=$mode
        set --
        if [ "$mode" = board ]; then
            change=pause
            set -- --tool-order diameter --drills 0.3,0.4,0.5,0.6,0.7,0.8,0.9,1.0 --mill 1.0 --mirror x \
                --alignment-holes 3
        fi
        "$cli" -q --excellon --controller grbl --feed 100 --verify --tool-change "$change" "$@" -o "$program" \
            "$drill" 2>"$work/log"
        korvex=$?
        bad=0
        [ "$korvex" -eq 0 ] || bad=1
        if [ "$mode" = split ]; then
            set -- "$work"/out-T*.nc
            [ -f "$1" ] || { set --; bad=1; }
        else
            set -- "$program"
        fi
        parts=$#
        lines=0
        realtimes=0
        exits=0
        errorsum=0
        for part in "$@"; do
            lines=$((lines + $(wc -l <"$part")))
            validate "$part"
            set -- $result "$@"
            realtimes=$((realtimes + $1))
            [ "$2" -eq 0 ] || exits=$2
            errorsum=$((errorsum + $3))
            shift 3
        done
        printf '%-42s %-7s %-6s %-6s %-9s %-9s %s\n' "$name" "$mode" "$korvex" "$parts" "$lines" "$realtimes" \
            "exit $exits, $errorsum errors"
        if [ "$bad" -ne 0 ]; then
            failures=$((failures + 1))
            sed -n '1,5p' "$work/log"
        fi
    done
done
[ "$failures" -eq 0 ]

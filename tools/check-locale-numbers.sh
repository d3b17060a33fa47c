#!/bin/sh
# Numbers outside the engine never follow the locale: the product's folders hold no strtod, atof or stod and
# no printf-style %f, %g or %e format (std::to_chars and std::from_chars, through platform/DecimalText.h,
# read no locale). The engine in conversion/ has number routines of its own; tests, fuzz targets and
# benchmarks may call the C library as a reference; comment lines are not code. Prints each place found and exits 1; 0 when clean.
# Usage: tools/check-locale-numbers.sh [SOURCE_DIR]
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
found=$(grep -rnE --include='*.cpp' --include='*.h' \
    '\b(strtod|strtof|strtold|atof|stod|stof|stold)\b|"[^"]*%[-+ #0-9.*]*[lL]?[fFgGeE]([^A-Za-z]|$)' \
    excellon gcode order preview job ui app platform | grep -vE '^[^:]+:[0-9]+:[[:space:]]*//')
if [ -n "$found" ]; then
    echo "$found"
    echo "Numbers here must not follow the locale: use platform/DecimalText.h (FixedText, ReadDecimal) instead."
    exit 1
fi

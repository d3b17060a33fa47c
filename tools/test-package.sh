#!/usr/bin/env bash
# Checks the .deb that `make package` built: its files, its dependencies, the desktop entry and MIME type,
# and korvex-cli started from the package installed into a temporary root, as root and as "nobody".
#   tools/test-package.sh [build folder]
set -euo pipefail

build="${1:-build}"
deb=$(ls -t "$build"/korvex_*.deb 2>/dev/null | head -n 1)
if [[ -z "$deb" ]]; then
    echo "test-package: no korvex_*.deb in $build (make package first)" >&2
    exit 1
fi
root=$(mktemp -d /tmp/korvex-package-XXXXXX)
trap 'rm -rf "$root"' EXIT
failures=0
check() { # description, command...
    local description="$1"
    shift
    if "$@" >/dev/null 2>&1; then
        echo "ok    $description"
    else
        echo "FAIL  $description"
        failures=$((failures + 1))
    fi
}

echo "== $deb"
dpkg-deb -I "$deb"
contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
depends=$(dpkg-deb -f "$deb" Depends)

for path in ./usr/bin/korvex ./usr/bin/korvex-cli ./usr/share/korvex/korvex.INI \
    ./usr/share/korvex/TxMacroBefore.txt ./usr/share/korvex/TxMacroAfter.txt ./usr/share/doc/korvex/Readme.txt \
    ./usr/share/applications/korvex.desktop ./usr/share/mime/packages/korvex-excellon.xml \
    ./usr/share/icons/hicolor/16x16/apps/korvex.png ./usr/share/icons/hicolor/256x256/apps/korvex.png \
    ./usr/share/icons/hicolor/scalable/apps/korvex.svg ./usr/share/man/man1/korvex.1.gz \
    ./usr/share/man/man1/korvex-cli.1.gz ./usr/lib/korvex/korvex-mime; do
    check "contains $path" grep -qxF "$path" <<<"$contents"
done
for dependency in libqt6widgets6 libqt6core6 libqt6svg6 libjpeg62-turbo libfontconfig1 libc6 fonts-wine \
    fonts-liberation2; do
    check "depends on $dependency" grep -qE "(^|, )$dependency( |,|$)" <<<"$depends"
done

# Installed by dpkg into an empty root of its own (its dependencies are this machine's, hence --force-depends),
# and checked against this machine's package lists as apt would install it.
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
check "dpkg installs it into a fresh root" dpkg --root="$root" --force-depends --force-not-root -i "$deb"
check "dpkg lists its files there" sh -c "dpkg --root='$root' -L korvex | grep -qx /usr/bin/korvex"
check "apt finds every dependency" apt-get install -s "$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")"
check "the desktop entry is valid" desktop-file-validate "$root/usr/share/applications/korvex.desktop"
check "the MIME type is well-formed XML" python3 -c \
    "import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])" "$root/usr/share/mime/packages/korvex-excellon.xml"
mime=$(mktemp -d /tmp/korvex-package-mime-XXXXXX)
mkdir -p "$mime/packages"
cp "$root/usr/share/mime/packages/korvex-excellon.xml" "$mime/packages/"
check "update-mime-database takes the MIME type" update-mime-database "$mime"
check "the MIME type knows the extensions" sh -c "grep -c 'application/x-excellon' '$mime/globs2' | grep -qx 4"
rm -rf "$mime"
check "the manual pages open" sh -c "zcat '$root/usr/share/man/man1/korvex-cli.1.gz' | grep -qF 'x\\-offset'"
version=$("$root/usr/bin/korvex-cli" --version)
check "korvex-cli --version runs from the package ($version)" grep -q '^korvex-cli ' <<<"$version"
check "korvex-cli is one static program" sh -c "file '$root/usr/bin/korvex-cli' | grep -q 'statically linked'"
check "the installed korvex-mime names file types" sh -c \
    "'$root/usr/bin/korvex-cli' --version-info '$root/usr/share/korvex/korvex.INI' | grep -qE '^ShellTypeName: .+'"

# Converting as an unprivileged user from the installed package, into a folder of that user's.
chmod -R a+rX "$root"
work=$(mktemp -d /tmp/korvex-package-work-XXXXXX)
trap 'rm -rf "$root" "$work"' EXIT
cp examples/board.drl "$work/board.drl"
chmod 0777 "$work"
as_user=()
if [[ $(id -u) == 0 ]]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
check "korvex-cli converts as $([[ ${#as_user[@]} -gt 0 ]] && echo nobody || id -un)" \
    "${as_user[@]}" "$root/usr/bin/korvex-cli" -q -o "$work/board.CNC" "$work/board.drl"
check "the program was written" test -s "$work/board.CNC"

if [[ $failures -gt 0 ]]; then
    echo "test-package: $failures check(s) failed" >&2
    exit 1
fi
echo "test-package: all checks passed"

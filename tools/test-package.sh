#!/usr/bin/env bash
# Checks the .deb that `make package` built: lintian, its files and dependencies, that no path of the build is
# inside it, the desktop entry and MIME type, korvex-cli from the package unpacked into a root of its own (as
# root and as "nobody"), and a real `apt-get install` into a throwaway copy of this system (an overlay over /,
# offline: the dependencies are this machine's), where the window is started under Xvfb, nothing may be
# written under /usr while it runs, and a purge must leave nothing behind.
#   tools/test-package.sh [package build folder]
set -euo pipefail

build="${1:-build-package}"
deb=$(ls -t "$build"/korvex_*.deb 2>/dev/null | head -n 1)
if [[ -z "$deb" ]]; then
    echo "test-package: no korvex_*.deb in $build (make package first)" >&2
    exit 1
fi
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
source_dir=$(cd "$(dirname "$0")/.." && pwd -P)
build_dir=$(cd "$build" && pwd -P)
scratch=$(mktemp -d /tmp/korvex-package-XXXXXX)
chmod 0755 "$scratch"
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
mkdir -p "$root"
failures=0
check() { # description, command...
    local description="$1"
    shift
    if "$@" >"$scratch/check.log" 2>&1; then
        echo "ok    $description"
    else
        echo "FAIL  $description"
        sed 's/^/      /' "$scratch/check.log" | head -n 20
        failures=$((failures + 1))
    fi
}

echo "== $deb"
dpkg-deb -I "$deb"
contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
depends=$(dpkg-deb -f "$deb" Depends)

# Errors and warnings fail; what the package overrides carries its reason in the override file.
check "lintian finds no error or warning" lintian --fail-on error,warning --display-info --info "$deb"
cat "$scratch/check.log"

for path in ./usr/bin/korvex ./usr/bin/korvex-cli ./usr/share/korvex/korvex.INI \
    ./usr/share/korvex/TxMacroBefore.txt ./usr/share/korvex/TxMacroAfter.txt ./usr/share/doc/korvex/Readme.txt \
    ./usr/share/doc/korvex/copyright ./usr/share/doc/korvex/changelog.Debian.gz \
    ./usr/share/applications/korvex.desktop ./usr/share/mime/packages/korvex-excellon.xml \
    ./usr/share/icons/hicolor/16x16/apps/korvex.png ./usr/share/icons/hicolor/256x256/apps/korvex.png \
    ./usr/share/icons/hicolor/scalable/apps/korvex.svg ./usr/share/man/man1/korvex.1.gz \
    ./usr/share/man/man1/korvex-cli.1.gz ./usr/lib/korvex/korvex-mime ./usr/share/lintian/overrides/korvex; do
    check "contains $path" grep -qxF "$path" <<<"$contents"
done
for dependency in libqt6widgets6 libqt6core6 libqt6svg6 libjpeg62-turbo libfontconfig1 libc6 fonts-wine \
    fonts-liberation2; do
    check "depends on $dependency" grep -qE "(^|, )$dependency( |,|$)" <<<"$depends"
done

# No path of the build or of the sources in any installed file: the programs would otherwise start
# korvex-mime from a folder that someone else may be able to write to, and the build is not reproducible.
unpacked="$scratch/unpacked"
dpkg-deb -x "$deb" "$unpacked"
build_paths() {
    local file found=0
    while IFS= read -r -d '' file; do
        if strings -a "$file" | grep -F -e "$build_dir" -e "$source_dir"; then
            echo "in ${file#"$unpacked"}"
            found=1
        fi
    done < <(find "$unpacked" -type f -print0)
    [[ $found == 0 ]]
}
check "no build path ($build_dir, $source_dir) in any installed file" build_paths
check "korvex and korvex-mime are PIE with bindnow" sh -c "
    for program in '$unpacked/usr/bin/korvex' '$unpacked/usr/lib/korvex/korvex-mime'; do
        readelf -h \"\$program\" | grep -q 'DYN' && readelf -d \"\$program\" | grep -q 'BIND_NOW'
        readelf -lW \"\$program\" | grep -q GNU_RELRO
    done"
check "korvex is built with fortify and the stack protector" sh -c \
    "nm -D '$unpacked/usr/bin/korvex' | grep -q '__stack_chk_fail' && nm -D '$unpacked/usr/bin/korvex' | grep -q '_chk@'"
check "korvex-cli is static PIE" sh -c "file '$unpacked/usr/bin/korvex-cli' | grep -q 'static-pie linked'"
check "the changelog is compressed reproducibly (no name, no time)" sh -c \
    "gzip -lv '$unpacked/usr/share/doc/korvex/changelog.Debian.gz' >/dev/null &&
     [ \"\$(od -An -tx1 -j4 -N4 '$unpacked/usr/share/doc/korvex/changelog.Debian.gz' | tr -d ' ')\" = 00000000 ]"

# Installed by dpkg into an empty root of its own (its dependencies are this machine's, hence --force-depends).
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
check "dpkg installs it into a fresh root" dpkg --root="$root" --force-depends --force-not-root -i "$deb"
check "dpkg lists its files there" sh -c "dpkg --root='$root' -L korvex | grep -qx /usr/bin/korvex"
check "apt finds every dependency" apt-get install -s "$deb"
check "the desktop entry is valid" desktop-file-validate "$root/usr/share/applications/korvex.desktop"
check "the desktop entry passes the file it opens" grep -qx 'Exec=korvex %f' "$root/usr/share/applications/korvex.desktop"
check "the MIME type is well-formed XML" python3 -c \
    "import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])" "$root/usr/share/mime/packages/korvex-excellon.xml"
mime="$scratch/mime"
mkdir -p "$mime/packages"
cp "$root/usr/share/mime/packages/korvex-excellon.xml" "$mime/packages/"
check "update-mime-database takes the MIME type" update-mime-database "$mime"
check "the MIME type knows the extensions" sh -c "grep -c 'application/x-excellon' '$mime/globs2' | grep -qx 4"
for page in korvex korvex-cli; do
    check "the manual page of $page has every section and no groff warning" sh -c "
        zcat '$root/usr/share/man/man1/$page.1.gz' > '$scratch/$page.1'
        for section in NAME SYNOPSIS DESCRIPTION '\"EXIT STATUS\"' EXAMPLES FILES ENVIRONMENT '\"SEE ALSO\"'; do
            grep -q \"^\\.SH \$section\" '$scratch/$page.1' || { echo \"no \$section\"; exit 1; }
        done
        ! LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l -Tutf8 -Z '$scratch/$page.1' 2>&1 >/dev/null | grep ."
done
version=$("$root/usr/bin/korvex-cli" --version)
check "korvex-cli --version runs from the package and names the licence" grep -q '^License: MIT' <<<"$version"
check "the installed korvex-mime names file types" sh -c \
    "env -u KORVEX_MIME_PROGRAM '$root/usr/bin/korvex-cli' --version-info '$root/usr/share/korvex/korvex.INI' |
     grep -qE '^ShellTypeName: .+'"

# Converting as an unprivileged user from the installed package, into a folder of that user's.
chmod -R a+rX "$root"
work="$scratch/work"
mkdir -p "$work"
cp examples/board.drl "$work/board.drl"
chmod 0777 "$work"
as_user=()
if [[ $(id -u) == 0 ]]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
check "korvex-cli converts as $([[ ${#as_user[@]} -gt 0 ]] && echo nobody || id -un)" \
    "${as_user[@]}" "$root/usr/bin/korvex-cli" -q -o "$work/board.CNC" "$work/board.drl"
check "the program was written" test -s "$work/board.CNC"

# apt-get install into a throwaway copy of this system: an overlay over / in a mount namespace of its own,
# entered with chroot; what the package writes lands in the overlay's upper folder, which is then searched.
# Needs root (for the mount namespace); skipped, and said so, otherwise.
system_install() {
    local overlay="$scratch/overlay"
    mkdir -p "$overlay/upper" "$overlay/work" "$overlay/merged"
    cp "$deb" "$overlay/korvex.deb"
    cp examples/board.drl "$overlay/board.drl"
    cat >"$overlay/inside.sh" <<'INSIDE'
#!/bin/bash
# In the chroot: install, window or purge.
export DEBIAN_FRONTEND=noninteractive
case "$1" in
install)
    # The dependencies are this system's: nothing is downloaded, and a proxy that answers nothing makes sure.
    cd /tmp && apt-get install -y -o Acquire::http::Proxy=http://127.0.0.1:9 -o Acquire::https::Proxy=http://127.0.0.1:9 \
        ./korvex.deb > /tmp/apt-install.log 2>&1 || { cat /tmp/apt-install.log; exit 1; }
    [ -x /usr/bin/korvex ] && grep -q 'x-excellon' /usr/share/mime/globs2 &&
        grep -q korvex.desktop /usr/share/applications/mimeinfo.cache ;;
window)
    mkdir -p /tmp/home && chown nobody:nogroup /tmp/home
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- env HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/home \
        xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
            korvex /tmp/board.drl > /tmp/home/window.log 2>&1 & pid=$!
            for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15; do
                sleep 1
                xwininfo -root -tree 2>/dev/null | grep -q "\"Korvex\"" && break
            done
            xwininfo -root -tree | grep "\"Korvex\"" > /tmp/home/windows.txt
            kill -0 $pid && kill $pid
            test -s /tmp/home/windows.txt' || { cat /tmp/home/window.log; exit 1; } ;;
purge)
    apt-get purge -y korvex > /tmp/apt-purge.log 2>&1 || { cat /tmp/apt-purge.log; exit 1; }
    ! dpkg -s korvex > /dev/null 2>&1 ;;
esac
INSIDE
    chmod 0755 "$overlay/inside.sh"
    cat >"$overlay/outside.sh" <<OUTSIDE
#!/bin/bash
set -e
cd '$overlay'
mount -t overlay overlay -o lowerdir=/,upperdir=upper,workdir=work merged
mount --rbind /dev merged/dev
mount -t proc proc merged/proc
mount -t tmpfs tmpfs merged/tmp
mount -t tmpfs tmpfs merged/run
cp korvex.deb board.drl inside.sh merged/tmp/
chmod a+rx merged/tmp/board.drl merged/tmp/inside.sh
set +e
failures=0
step() { # description, command...
    local description="\$1"
    shift
    if "\$@" > step.log 2>&1; then echo "ok    \$description"; else echo "FAIL  \$description"; sed 's/^/      /' step.log | head -n 20; failures=\$((failures + 1)); fi
}
step "apt-get install ./$(basename "$deb") (offline), MIME type and desktop entry in the system's caches" \
    chroot merged /tmp/inside.sh install
touch stamp
sleep 1
step "the window opens under Xvfb as nobody, with a drill file" chroot merged /tmp/inside.sh window
step "nothing was written under /usr while it ran" sh -c '! find upper/usr -newer stamp | grep .'
step "apt-get purge korvex" chroot merged /tmp/inside.sh purge
step "purge leaves no file of korvex's, no MIME type, no desktop entry in the caches" sh -c '
    ! find upper -name "*korvex*" | grep . &&
    ! grep -l x-excellon upper/usr/share/mime/globs2 2>/dev/null &&
    ! grep -l korvex.desktop upper/usr/share/applications/mimeinfo.cache 2>/dev/null'
exit \$failures
OUTSIDE
    unshare -m bash "$overlay/outside.sh"
}
if [[ $(id -u) == 0 ]] && unshare -m true 2>/dev/null; then
    if ! system_install; then
        failures=$((failures + 1))
    fi
else
    echo "skip  apt-get install into a throwaway root: needs root and mount namespaces"
fi

if [[ $failures -gt 0 ]]; then
    echo "test-package: $failures check(s) failed" >&2
    exit 1
fi
echo "test-package: all checks passed"

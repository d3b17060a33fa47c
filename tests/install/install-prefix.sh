#!/bin/sh
# Installs the build into a fresh prefix and makes it read-only, as a system-wide install is for its users.
#   install-prefix.sh BUILD_DIR PREFIX
set -eu
build="$1"
prefix="$2"
if [ -d "$prefix" ]; then
    chmod -R u+w "$prefix"
    rm -rf "$prefix"
fi
cmake --install "$build" --prefix "$prefix" >/dev/null
chmod -R a-w,a+rX "$prefix"

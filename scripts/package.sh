#!/usr/bin/env bash
# Builds the Debian package build-package/veltocorvane_<version>_amd64.deb
# from what `cmake --install` puts in place (prefix /usr, stripped).
# Usage: scripts/package.sh
#   VELTO_BUILD_DIR=DIR   package an existing build folder (CI reuses the one
#                         the tests built) instead of build-package/build,
#                         which holds the program alone
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="$ROOT/build-package"
BUILD="${VELTO_BUILD_DIR:-$OUT/build}"
umask 022

"$ROOT/scripts/install-deps.sh" --package
if [ -z "${VELTO_BUILD_DIR:-}" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELTO_TESTS=OFF -DVELTO_BENCH=OFF ${VELTO_CMAKE_ARGS:-} >/dev/null
fi
# Everything an install rule names must exist; in a folder without tests
# that is the program and what it installs.
cmake --build "$BUILD" >&2

version="$(dpkg-parsechangelog -l "$ROOT/packaging/debian/changelog" -S Version)"
project_version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")"
if [ "$version" != "$project_version" ]; then
    echo "package.sh: packaging/debian/changelog is at $version, the project at $project_version" >&2
    exit 1
fi

# The layout dpkg-shlibdeps and dpkg-gencontrol expect: debian/ in the
# current folder, the package's files in debian/<package>/.
stage="$OUT/debian/veltocorvane"
rm -rf "$OUT/debian"
mkdir -p "$stage"
DESTDIR="$stage" cmake --install "$BUILD" --prefix /usr --strip >/dev/null

cp "$ROOT/packaging/debian/control" "$ROOT/packaging/debian/changelog" "$OUT/debian/"
cd "$OUT"
# Every ELF file the install put in place, programs and loadable libraries
# alike, whatever its mode.
executables=()
while IFS= read -r -d '' file; do
    if [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ]; then
        executables+=("$file")
    fi
done < <(find debian/veltocorvane -type f -print0)
# What `install -s` leaves: the compiler's notes are of no use at run time.
strip --remove-section=.comment --remove-section=.note "${executables[@]}"
mkdir -p "$stage/DEBIAN"
dpkg-shlibdeps -T"debian/substvars" "${executables[@]}"
dpkg-gencontrol -pveltocorvane -P"$stage" -T"debian/substvars"
(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
    xargs -0 md5sum > DEBIAN/md5sums)

deb="$OUT/veltocorvane_${version}_amd64.deb"
rm -f "$deb"
# The changelog's date stamps the archive and caps its files' times, so that
# the same build gives the same package.
SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l "$ROOT/packaging/debian/changelog" -S Timestamp)" \
    dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"

#!/usr/bin/env bash
# Installs what the build, the tests and the benchmarks need, by package name.
# Safe to run again: only missing packages are installed.
# Usage: scripts/install-deps.sh [--run | --package]   --run: only what building
# and running the program needs, none of the test peers; --package: that and
# the tools that build and check the Debian package.
set -euo pipefail

FOR_RUN=0
FOR_PACKAGE=0
[ "${1:-}" = "--run" ] && FOR_RUN=1
[ "${1:-}" = "--package" ] && FOR_RUN=1 && FOR_PACKAGE=1

# Building and running the program.
APT_PACKAGES=(
    # build
    cmake ninja-build ccache g++ pkg-config
    libssl-dev libcurl4-openssl-dev libicu-dev zlib1g-dev
    # ZIP checksums; thumbnails: the helper's decoders, JPEG encoding, video frames
    libdeflate-dev libvips-dev libturbojpeg0-dev ffmpegthumbnailer shared-mime-info
    # desktop toolkit: drawing, text, the desktop's appearance over D-Bus, fonts
    libcairo2-dev libpango1.0-dev libsystemd-dev
    # desktop toolkit: windows, input and input methods (SDL2 on X11), Xlib
    # for popups, grabs, monitors and window hints; ICU word breaks
    libsdl2-dev libx11-dev libxrandr-dev libxext-dev
    fonts-noto-core fonts-noto-cjk fonts-material-design-icons-iconfont
)
# Tests and benchmarks only: peer servers, clients and readers.
TEST_APT_PACKAGES=(
    # test framework, benchmarks, and clang for the fuzzers and sanitizers
    googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
    # test and benchmark peers
    curl openssl python3 unzip p7zip-full libarchive-tools
    iproute2 nftables miniupnpd-nftables miniupnpc
    wrk nginx-light zbar-tools
    # thumbnail tests and benchmarks: test videos and photos, vipsthumbnail, time zones
    ffmpeg libvips-tools tzdata
    # trash-cli reads back what deletions put in the trash; attr reads the zone mark
    trash-cli attr
    # a private session bus for the desktop-appearance, tray and
    # notification tests, with small test peers in python3-dbus
    dbus-daemon python3-dbus python3-gi
    # desktop tests: a private X server, a small window manager, input
    # synthesis, window and clipboard readers, X resources (xrdb)
    xvfb xauth openbox xdotool x11-utils x11-xserver-utils xclip
    # the launcher entry's check
    desktop-file-utils
    # side-by-side speed benchmark: Caddy as the second peer server
    caddy
    # resumable uploads: tuspy as an independent tus client (tus-js-client
    # comes from npm with the browser tests' packages)
    python3-tuspy
    # WebDAV clients the WebDAV tests drive (litmus suites, rclone, cadaver,
    # a davfs2 mount), and nginx's PROPFIND module for the WebDAV benchmark
    litmus rclone cadaver davfs2 libnginx-mod-http-dav-ext
    # browser tests: Debian's chromium, driven by playwright-core from npm,
    # with Korean glyphs for the pages' screenshots
    chromium fonts-noto-cjk
)

# Building the Debian package (scripts/package.sh) and checking it
# (packaging/check-package.sh): dependencies from the binaries, the control
# file, lintian, the AppStream, launcher-entry, manual-page and unit checks.
PACKAGE_APT_PACKAGES=(
    dpkg-dev lintian appstream desktop-file-utils man-db systemd
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

wanted=("${APT_PACKAGES[@]}")
[ "$FOR_RUN" -eq 0 ] && wanted+=("${TEST_APT_PACKAGES[@]}")
if [ "$FOR_RUN" -eq 0 ] || [ "$FOR_PACKAGE" -eq 1 ]; then
    wanted+=("${PACKAGE_APT_PACKAGES[@]}")
fi
missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    # miniupnpd asks debconf questions; answer them with defaults.
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "$FOR_RUN" -eq 1 ] && exit 0

# The package starts daemons we do not want running outside our test namespaces.
for svc in miniupnpd nginx caddy; do
    if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet "$svc" 2>/dev/null; then
        as_root systemctl stop "$svc" || true
    fi
done

# playwright-core and axe-core (the versions pinned in package.json and package-lock.json)
# into node_modules/ of the checkout. It never downloads a browser of its own:
# the browser tests drive Debian's /usr/bin/chromium.
if ! command -v npm >/dev/null 2>&1; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends nodejs npm
fi
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
# npm ls fails when a package of package.json is missing or at another
# version, so a newly added one is installed too.
if ! (cd "$ROOT" && npm ls --depth=0 >/dev/null 2>&1); then
    echo "Installing the npm packages of package.json"
    (cd "$ROOT" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi

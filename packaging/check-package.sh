#!/usr/bin/env bash
# Checks a built package the way a user meets it: lintian and the metadata
# validators, then `apt-get install` of the .deb, the installed headless
# server (started from /usr/bin with a temporary config.json, in a network
# namespace of its own and with the checkout out of sight) serving a file and
# a thumbnail made by the installed helper, a clean stop on SIGTERM, and a
# purge that leaves nothing of the package behind.
# Usage: packaging/check-package.sh build-package/veltocorvane_<version>_amd64.deb
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
deb="$(realpath "$1")"
package=veltocorvane

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
fail() {
    echo "check-package: $*" >&2
    exit 1
}

work="$(mktemp -d /tmp/velto-package-XXXXXX)"
installed=0
# A failed check leaves the machine as it found it too.
cleanup() {
    if [ "$installed" -eq 1 ]; then
        as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$package" >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"

echo "--- lintian"
# Errors fail the check; warnings and notes are printed for the record.
lintian --info --display-info --fail-on error "$deb"

echo "--- installing $deb"
installed=1
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg-query -L "$package" | sort > "$work/listed"
while IFS= read -r path; do
    [ -f "$path" ] && echo "$path"
done < "$work/listed" > "$work/files"
echo "$(wc -l < "$work/files") files, $(dpkg-query -W -f='${Installed-Size}' "$package") KiB installed"

echo "--- metadata"
appstreamcli validate --no-net /usr/share/metainfo/*VeltoCorvane.metainfo.xml
desktop-file-validate /usr/share/applications/veltocorvane.desktop
man -l /usr/share/man/man1/veltocorvane.1.gz > "$work/man.txt" 2> "$work/man-warnings.txt"
grep -q -- "--headless" "$work/man.txt" || fail "the manual page did not render"
[ ! -s "$work/man-warnings.txt" ] || fail "man: $(cat "$work/man-warnings.txt")"
mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" systemd-analyze verify --user \
    /usr/lib/systemd/user/veltocorvane-headless.service
/usr/bin/veltocorvane --help | grep -q "config.json" || fail "--help does not name config.json"

echo "--- the installed server"
mkdir -p "$work"/{home,config/VeltoCorvane,state,data,share}
printf 'sent by the installed server\n' > "$work/share/hello.txt"
cp /usr/share/icons/hicolor/256x256/apps/veltocorvane.png "$work/share/picture.png"
cat > "$work/config/VeltoCorvane/config.json" <<JSON
{"version": 1, "server": {"port": 8080, "upnp": false},
 "shares": [{"id": "00000000000000aa", "name": "kept", "path": "$work/share",
             "readOnly": true, "guest": ["read"]}],
 "accounts": []}
JSON
chmod -R a+rwX "$work"
# In its own network and mount namespaces: the server sees only loopback, and
# the checkout (with the build tree's helper) is hidden under an empty folder.
# As the user service runs it: with the environment of the unit and, where the
# kernel offers it, under the refusal of writable-and-executable memory that
# MemoryDenyWriteExecute= sets up (inherited by the thumbnail helper).
unit_environment="$(sed -n 's/^Environment=//p' /usr/lib/systemd/user/veltocorvane-headless.service)"
deny_write_execute='
import ctypes, os, sys
PR_SET_MDWE, PR_MDWE_REFUSE_EXEC_GAIN = 65, 1
if ctypes.CDLL(None).prctl(PR_SET_MDWE, PR_MDWE_REFUSE_EXEC_GAIN, 0, 0, 0) != 0:
    print("no MDWE in this kernel: memory protections not checked", file=sys.stderr)
os.execv(sys.argv[1], sys.argv[1:])'
as_root unshare --net --mount bash -euo pipefail -c '
    work="$1"; root="$2"; unit_environment="$3"; deny_write_execute="$4"
    ip link set lo up
    mount -t tmpfs -o size=1m tmpfs "$root"
    env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
        XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data" $unit_environment \
        python3 -c "$deny_write_execute" /usr/bin/veltocorvane --headless \
        > "$work/out.txt" 2> "$work/err.txt" &
    server=$!
    for _ in $(seq 300); do
        grep -q "Press Ctrl+C to stop." "$work/out.txt" && break
        kill -0 "$server" 2>/dev/null || break
        sleep 0.1
    done
    curl -fsS --noproxy "*" -o "$work/downloaded.txt" http://127.0.0.1:8080/files/kept/hello.txt
    curl -fsS --noproxy "*" -o "$work/thumb.jpg" \
        "http://127.0.0.1:8080/api/thumb?share=kept&path=picture.png&size=64"
    kill -TERM "$server"
    status=0
    wait "$server" || status=$?
    echo "$status" > "$work/status.txt"
' check "$work" "$ROOT" "$unit_environment" "$deny_write_execute" || { cat "$work/out.txt" "$work/err.txt" 2>/dev/null; fail "the installed server did not serve"; }
cmp "$work/share/hello.txt" "$work/downloaded.txt" || fail "the downloaded file differs"
[ "$(head -c 3 "$work/thumb.jpg" | od -An -tx1 | tr -d ' ')" = "ffd8ff" ] ||
    fail "the thumbnail is not a JPEG picture"
[ "$(cat "$work/status.txt")" = 0 ] || fail "SIGTERM ended the server with $(cat "$work/status.txt")"
grep -q "^Stopped.$" "$work/out.txt" || fail "the server did not stop cleanly"
echo "served hello.txt and a $(stat -c %s "$work/thumb.jpg")-byte thumbnail; stopped cleanly"

echo "--- purging"
as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$package" >/dev/null
installed=0
if dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q .; then
    fail "dpkg still knows $package after the purge"
fi
left=()
while IFS= read -r path; do
    [ -e "$path" ] && left+=("$path")
done < "$work/files"
for folder in /usr/libexec/veltocorvane /usr/share/doc/veltocorvane; do
    [ -e "$folder" ] && left+=("$folder")
done
[ "${#left[@]}" -eq 0 ] || fail "left behind: ${left[*]}"
echo "purged: nothing of $package is left"

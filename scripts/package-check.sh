#!/usr/bin/env bash
# Checks the package scripts/package.sh built: lintian reports no error, the
# files are where the desktop looks for them, the AppStream metadata is valid,
# and the programs of an extracted copy (not installed) run.
#   scripts/package-check.sh [path/to/rconf_<version>_amd64.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
deb="${1:-$(ls -t build-pkg/rconf_*_amd64.deb 2>/dev/null | head -n1)}"
[ -f "$deb" ] || { echo "no package: run scripts/package.sh first" >&2; exit 1; }
scripts/deps.sh lintian appstream

work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package-check: $*" >&2; exit 1; }

echo "== lintian"
lintian --fail-on error "$deb"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/rconf usr/bin/rconf-cli usr/bin/vboard usr/bin/mkrbin usr/share/applications/rconf.desktop \
    usr/share/icons/hicolor/scalable/apps/rconf.svg usr/share/rconf/RConf_releaseNotes.txt \
    usr/share/rconf/RConf_Vorlen_Programming_Guide.txt usr/share/doc/rconf/copyright \
    usr/share/doc/rconf/changelog.Debian.gz; do
  [ -e "$root/$f" ] || fail "missing /$f"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt[56]serialport' || fail "Depends does not name the Qt serial port library"
dpkg-deb -f "$deb" Depends | grep -q 'libqt[56]charts' || fail "Depends does not name the Qt Charts library"

echo "== appstream"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

echo "== mkrbin"
"$root/usr/bin/mkrbin" --help >/dev/null || fail "mkrbin --help failed"

echo "== vboard"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$root/usr/bin/vboard" --link "$work/board" >"$work/vboard.out" </dev/null &
pids+=($!)
for _ in $(seq 100); do
  compgen -G "$XDG_RUNTIME_DIR/rconf-vboard/*.port" >/dev/null && break
  sleep 0.1
done
entry="$(compgen -G "$XDG_RUNTIME_DIR/rconf-vboard/*.port" | head -n1)" || fail "vboard wrote no discovery entry"
[ "$(head -n1 "$entry")" = "$work/board" ] || fail "vboard's entry names $(head -n1 "$entry")"
[ -c "$(readlink -f "$work/board")" ] || fail "vboard's link is no terminal"

echo "== rconf-cli"
"$root/usr/bin/rconf-cli" info --json --port "$work/board" >"$work/info.json" || fail "rconf-cli info failed"
grep -q '"ok": true' "$work/info.json" || fail "rconf-cli info did not read the board"

echo "== rconf"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/rconf" >"$work/rconf.log" 2>&1 &
rconf=$!
pids+=("$rconf")
sleep 2
kill -0 "$rconf" 2>/dev/null || { cat "$work/rconf.log" >&2; fail "rconf did not keep running"; }
echo "package-check: $(basename "$deb") passed"

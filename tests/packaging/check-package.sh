#!/usr/bin/env bash
# Packs the Debian package from the build under test with scripts/package.sh
# --built (installed into a staging folder, then packed; nothing is built) and
# checks what it holds: its file list, its control fields, the program
# folder's run path and drivers file, the menu entry and icons, lintian's
# verdict, and that the unpacked program loads its driver library from its
# own folder.
#
#   check-package.sh SOURCE_DIR BUILD_DIR VERSION
#
# BUILD_DIR is the tree the other tests run from: only read, so that the
# check can run beside them.
set -euo pipefail
source_dir=${1:?source folder}
build_dir=${2:?build folder}
version=${3:?project version}
architecture=$(dpkg --print-architecture)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

if ! package=$(TARVELL_BUILD_DIR=$build_dir "$source_dir/scripts/package.sh" --built "$work/out" | tail -n 1); then
  echo "FAIL: scripts/package.sh"
  exit 1
fi
[[ $(basename "$package") == "tarvell_${version}_${architecture}.deb" ]] &&
  pass "package name $(basename "$package")" || fail "package named $(basename "$package")"

# --- Control fields.
field() { dpkg-deb -f "$package" "$1"; }
[[ $(field Package) == tarvell ]] && pass "Package" || fail "Package is '$(field Package)'"
[[ $(field Version) == "$version" ]] && pass "Version $version" || fail "Version is '$(field Version)', not $version"
[[ $(field Architecture) == "$architecture" ]] && pass "Architecture" || fail "Architecture is '$(field Architecture)'"
[[ -n $(field Maintainer) ]] && pass "Maintainer" || fail "no Maintainer"
[[ -n $(field Description) ]] && pass "Description" || fail "no Description"
# Names the Depends field lists, versions left off.
depends=" $(field Depends | sed 's/([^)]*)//g; s/[ ,]\+/ /g') "
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libfbclient2 fonts-arphic-uming; do
  [[ $depends == *" $needed "* ]] && pass "Depends on $needed" || fail "Depends lacks $needed:$depends"
done
[[ $(field Recommends) == firebird3.0-server-core ]] && pass "Recommends" ||
  fail "Recommends is '$(field Recommends)'"

dpkg-deb -e "$package" "$work/control"
[[ -x $work/control/postrm ]] && sh -n "$work/control/postrm" && pass "postrm" || fail "postrm missing or broken"
for script in preinst postinst prerm; do
  [[ ! -e $work/control/$script ]] || fail "unexpected maintainer script $script"
done

# --- File list: exactly these, so nothing copied from the system and no
# --- connections file slips in.
expected=$(sort <<'LIST'
/opt/tarvell/bin/Tarvell
/opt/tarvell/bin/dldrivers.ini
/opt/tarvell/bin/libdlfirebird.so
/usr/bin/tarvell -> /opt/tarvell/bin/Tarvell
/usr/share/applications/tarvell.desktop
/usr/share/doc/tarvell/changelog.gz
/usr/share/doc/tarvell/copyright
/usr/share/doc/tarvell/examples/Tarvell.conf
/usr/share/doc/tarvell/examples/dlconnections.ini
/usr/share/icons/hicolor/16x16/apps/tarvell.png
/usr/share/icons/hicolor/22x22/apps/tarvell.png
/usr/share/icons/hicolor/24x24/apps/tarvell.png
/usr/share/icons/hicolor/32x32/apps/tarvell.png
/usr/share/icons/hicolor/48x48/apps/tarvell.png
/usr/share/icons/hicolor/64x64/apps/tarvell.png
/usr/share/icons/hicolor/128x128/apps/tarvell.png
/usr/share/icons/hicolor/256x256/apps/tarvell.png
/usr/share/icons/hicolor/scalable/apps/tarvell.svg
/usr/share/lintian/overrides/tarvell
/usr/share/man/man1/tarvell.1.gz
LIST
)
actual=$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +\./, ""); print }' | sort)
if [[ $actual == "$expected" ]]; then
  pass "file list"
else
  fail "file list differs (< expected, > in the package):"
  diff <(echo "$expected") <(echo "$actual") || true
fi

# --- The unpacked files.
root=$work/root
dpkg-deb -x "$package" "$root"
bin=$root/opt/tarvell/bin

mode() { stat -c %a "$1"; }
[[ $(mode "$bin/Tarvell") == 755 && $(mode "$bin/libdlfirebird.so") == 644 ]] && pass "modes" ||
  fail "modes: Tarvell $(mode "$bin/Tarvell"), libdlfirebird.so $(mode "$bin/libdlfirebird.so")"

runpath() { readelf -d "$1" | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]$/\2/p'; }
[[ $(runpath "$bin/Tarvell") == '$ORIGIN' ]] && pass "program's run path is \$ORIGIN" ||
  fail "program's run path is '$(runpath "$bin/Tarvell")'"
[[ -z $(runpath "$bin/libdlfirebird.so") ]] && pass "driver library has no run path" ||
  fail "driver library's run path is '$(runpath "$bin/libdlfirebird.so")'"
nm -D --defined-only "$bin/libdlfirebird.so" | grep -qw getSQLDriverFIREBIRD &&
  pass "driver entry exported" || fail "libdlfirebird.so does not export getSQLDriverFIREBIRD"

drivers=$(tr -d '\r' <"$bin/dldrivers.ini")
[[ $drivers == $'[Firebird]\nLibraryName=libdlfirebird.so\nVendorLib=libfbclient.so.2\nGetDriverFunc=getSQLDriverFIREBIRD' ]] &&
  pass "dldrivers.ini" || fail "dldrivers.ini reads: $drivers"
examples=$root/usr/share/doc/tarvell/examples
grep -q '^\[VuzEza\]' "$examples/dlconnections.ini" &&
  pass "example connections file" || fail "example connections file has no [VuzEza] section"
for group in Journal WriteBack Server; do
  grep -q "^\[$group\]" "$examples/Tarvell.conf" && pass "example settings file: [$group]" ||
    fail "example settings file has no [$group] group"
done
# The program names the folder of the examples, and the manual page explains
# the first run.
grep -qaF "/usr/share/doc/tarvell/examples/" "$bin/Tarvell" && pass "program names the examples' folder" ||
  fail "program does not name /usr/share/doc/tarvell/examples/"
zcat "$root/usr/share/man/man1/tarvell.1.gz" | grep -q '^\.SH "\?FIRST RUN' && pass "manual page: first run" ||
  fail "manual page has no FIRST RUN section"

desktop=$root/usr/share/applications/tarvell.desktop
desktop-file-validate "$desktop" && pass "desktop entry validates" || fail "desktop-file-validate"
for line in 'Name=Tarvell Price Batch' 'Name[zh_TW]=定價批次處理' 'Icon=tarvell' \
            'Exec=tarvell' 'Categories=Office;Finance;' 'Actions=history;' '[Desktop Action history]' \
            'Name[zh_TW]=價格紀錄' 'Exec=tarvell --history'; do
  grep -qxF "$line" "$desktop" && pass "desktop entry: $line" || fail "desktop entry lacks '$line'"
done
for icon in "$root"/usr/share/icons/hicolor/*x*/apps/tarvell.png; do
  size=$(basename "$(dirname "$(dirname "$icon")")")
  file -b "$icon" | grep -q "PNG image data, ${size/x/ x }," && pass "icon $size" ||
    fail "icon $size is $(file -b "$icon")"
done
[[ $(zcat "$root/usr/share/doc/tarvell/changelog.gz" | head -n 1) == "tarvell ($version) "* ]] &&
  pass "changelog names $version" || fail "changelog starts '$(zcat "$root/usr/share/doc/tarvell/changelog.gz" | head -n 1)'"

# --- lintian: no error and no warning; the only override is the one the
# --- package explains (its files live under /opt).
# Its verdict is read below; its exit status would say only that it had one.
lintian --show-overrides "$package" >"$work/lintian" 2>/dev/null || true
if grep -q '^[EW]:' "$work/lintian"; then
  fail "lintian:"
  grep '^[EW]:' "$work/lintian"
else
  pass "lintian: no errors or warnings"
fi
overridden=$(sed -n 's/^O: tarvell: \([^ ]*\).*/\1/p' "$work/lintian" | sort -u)
[[ $overridden == dir-or-file-in-opt ]] && pass "lintian overrides" ||
  fail "lintian overrides: ${overridden:-none}"

# --- The unpacked program loads the driver library beside it through its run
# --- path and the packaged drivers file, and the driver loads the system's
# --- client library. The database is missing, so the program shows its
# --- error and goes on running until stopped. It is stopped with KILL: once
# --- the client library is loaded, its own handler takes TERM.
mkdir -p "$work/config"
printf '[VuzEza]\nDriverName=Firebird\nDatabase=%s\nUser_Name=sysdba\nPassword=x\n' \
  "$work/missing/POSDATA.FDB" >"$bin/dlconnections.ini"
source "$source_dir/scripts/firebird-lock.sh"
# (In a subshell whose own notice of the kill goes nowhere.)
status=0
(XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen LD_DEBUG=files LD_DEBUG_OUTPUT=$work/ld \
  timeout -s KILL 8 "$bin/Tarvell" >"$work/run.log" 2>&1) 2>/dev/null || status=$?
[[ $status == 137 ]] && pass "unpacked program runs" || { fail "unpacked program ended with $status"; cat "$work/run.log"; }
initialised=$(cat "$work"/ld.* 2>/dev/null | sed -n 's/.*calling init: //p' || true)
grep -qxF "$bin/libdlfirebird.so" <<<"$initialised" &&
  pass "driver library loaded from the program's folder" || fail "driver library not loaded from $bin"
client=$(grep '/libfbclient\.so\.2$' <<<"$initialised" || true)
[[ -n $client && $client != "$root"/* ]] && pass "client library $client loaded by the driver" ||
  fail "client library not loaded from the system: ${client:-none}"

echo "$failures failed"
[[ $failures == 0 ]]

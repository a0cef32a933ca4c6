#!/usr/bin/env bash
# The Debian package as an administrator meets it: it builds, lintian finds no error, it holds
# every file it should and no library of its own, and, unpacked into a scratch root, its programs
# answer --version, make the demo, and dorvane logs in as demo/demo and prints with the installed
# templates under a virtual display.
# usage: package_test.sh BUILD-DIR SOURCE-DIR VERSION
# With DORVANE_SCREENSHOTS=DIR the screens it passes through are kept there.
set -uo pipefail
build=$1 source=$2 version=$3
dir=$(mktemp -d)
xvfb_pid="" program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
# Nothing here may reach the user's own files.
export HOME=$dir/home XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_CACHE_HOME=$dir/cache
export XDG_RUNTIME_DIR=$dir/runtime LANG=C.UTF-8 LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fail=0
failed() { echo "FAIL: $*"; fail=1; }

# ---- the package ----
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$dir/out" >"$dir/cpack.log" 2>&1 ||
  { cat "$dir/cpack.log"; failed "cpack"; exit 1; }
deb=$dir/out/dorvane_${version}_amd64.deb
[ -f "$deb" ] || { ls "$dir/out"; failed "no $deb"; exit 1; }

echo "--- lintian"
lintian --allow-root --fail-on error "$deb" || failed "lintian reports errors"

echo "--- control"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || failed "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
# Computed from the binaries by dpkg-shlibdeps, plus Qt's window-system plugins no binary names.
for need in libqt6widgets6 libsqlite3-0 libpq5 libsodium23 libxlsxwriter libzint qt6-qpa-plugins libc6; do
  grep -q "$need" <<<"$depends" || failed "Depends lacks $need: $depends"
done

app=org.dorvane.Dorvane
# Mode, owner, size, date and time, then the path (template names hold spaces).
dpkg-deb --contents "$deb" | sed -E 's|^([^ ]+ +){5}\./|/|' >"$dir/contents"
expected=(/usr/bin/dorvane /usr/bin/dorvane-admin /usr/share/dorvane/README.md
          "/usr/share/applications/$app.desktop" "/usr/share/metainfo/$app.metainfo.xml"
          "/usr/share/icons/hicolor/scalable/apps/$app.svg"
          /usr/share/man/man1/dorvane.1.gz /usr/share/man/man1/dorvane-admin.1.gz
          /usr/share/doc/dorvane/copyright /usr/share/doc/dorvane/changelog.gz)
for size in 16 22 24 32 48 64 128 256; do expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$app.png"); done
for template in "$source"/reports/*.rpt; do expected+=("/usr/share/dorvane/$(basename "$template")"); done
for f in "${expected[@]}"; do grep -qxF "$f" "$dir/contents" || failed "the package lacks $f"; done
# Nothing else bundled: the libraries come from their own packages.
grep -E '\.so(\.|$)|/lib/' "$dir/contents" && failed "the package bundles libraries"

# ---- unpacked into a scratch root ----
root=$dir/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$app.desktop" || failed "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >"$dir/as.log" 2>&1 ||
  { cat "$dir/as.log"; failed "AppStream metadata"; }
file "$root/usr/share/icons/hicolor/48x48/apps/$app.png" | grep -q "48 x 48" || failed "48x48 icon size"
# Every command dorvane-admin has is in its manual page.
for c in $("$root/usr/bin/dorvane-admin" --help | sed -n '/^commands:/,$p' | tail -n +2 | awk '{print $1}'); do
  zcat "$root/usr/share/man/man1/dorvane-admin.1.gz" | grep -qF "\\fB$c " ||
    failed "dorvane-admin(1) lacks the command $c"
done
man -l "$root/usr/share/man/man1/dorvane.1.gz" 2>&1 >/dev/null | grep . && failed "dorvane(1) has troff warnings"

# Without a display: the version from the one place, and the help.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/dorvane" --version)" = "dorvane $version" ] ||
  failed "dorvane --version"
[ "$("$root/usr/bin/dorvane-admin" --version)" = "dorvane-admin $version" ] || failed "dorvane-admin --version"
env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/dorvane" --help | grep -q -- "--version" || failed "dorvane --help"

"$root/usr/bin/dorvane-admin" demo --dir "$dir/demo" --shipments 40 >/dev/null || failed "installed demo"

# ---- the installed program under a virtual display ----
exec 5>"$dir/display"
Xvfb -displayfd 5 -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 5>&-
for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$dir/display")
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
shots=${DORVANE_SCREENSHOTS:-$dir/shots}
mkdir -p "$shots"

# Waits (up to a minute, for a loaded machine) for a visible window whose title matches $1, other
# than the window $2 if given, and names it.
window() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vx "${2:-none}" | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$program_pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
"$root/usr/bin/dorvane" >"$dir/dorvane.log" 2>&1 &
program_pid=$!

if login=$(window '^Please Login$'); then
  import -window root "$shots/1-login.png"
  xdotool windowfocus --sync "$login"
  xdotool key --clearmodifiers ctrl+a && xdotool type --delay 20 demo
  xdotool key Tab && xdotool type --delay 20 demo
  xdotool key Return
  # The board is up when the main window is the one window left: a refused login keeps its
  # dialog and says why in a message box.
  for _ in $(seq 300); do
    [ -z "$(xdotool search --onlyvisible --name '^Please Login$' 2>/dev/null)" ] && break
    sleep 0.2
  done
  sleep 2
  import -window root "$shots/2-board.png"
  main=$(window '^Dorvane') || failed "the main window"
  [ "$(xdotool search --onlyvisible --name '^(Please Login|Dorvane)$' | wc -l)" = 1 ] ||
    failed "demo/demo did not reach the board alone (a dialog is open)"
  # File > Print > Standard Report reads the installed template: without it the print fails
  # with a message (the source tree's copy is not used), with it the preview shows the report.
  print_standard_report() {
    xdotool windowfocus --sync "$main"
    xdotool key --clearmodifiers alt+f && sleep 0.5 && xdotool key p && sleep 0.5 && xdotool key Return
  }
  template="$root/usr/share/dorvane/shipping report.rpt"
  mv "$template" "$template.aside"
  print_standard_report
  if box=$(window '^Dorvane$' "$main"); then
    import -window root "$shots/3-template-missing.png"
    xdotool windowfocus --sync "$box" && xdotool key Return
  else
    failed "printing without the installed template gave no message"
  fi
  xdotool search --onlyvisible --name '^Print Preview$' >/dev/null && failed "printed without the installed template"
  mv "$template.aside" "$template"
  print_standard_report
  if window '^Print Preview$' >/dev/null; then
    sleep 1
    import -window root "$shots/4-print-preview.png"
  else
    import -window root "$shots/4-print-preview.png"
    failed "File > Print > Standard Report opened no preview from the installed template"
  fi
else
  failed "the installed dorvane showed no login window"
fi
kill "$program_pid" 2>/dev/null
[ "$fail" = 0 ] || { echo "--- dorvane's output"; cat "$dir/dorvane.log"; }
exit $fail

#!/usr/bin/env bash
# Registers vxframe.ocx with regsvr32 in the build's Wine prefix and drives it from a VBScript
# client (cscript), checking what the script reads back.
#   vxframe_automation_test.sh WINE_RUN ARCH PREFIX OCX VBS
set -euo pipefail
wine_run=$1 arch=$2 prefix=$3 ocx=$4 vbs=$5
run() { "$wine_run" --arch "$arch" --prefix "$prefix" "$@"; }
windows_path() { echo "Z:${1//\//\\}"; }

run regsvr32 /s "$(windows_path "$ocx")"
output=$(run cscript //nologo "$(windows_path "$vbs")" | tr -d '\r')
echo "$output"
expect() {
  grep -qxF "$1" <<<"$output" || { echo "missing line: $1" >&2; exit 1; }
}
expect 'after set: Caption=Shipping default=Shipping Bevel=-3 ShadowWidth=5 LightSource=2 OutLine=2 BackColor=C0C0C0'
expect 'ShadowDarkness=256: Err 380 "Invalid property value", still 160'
expect 'MouseIcon_Filename missing file: Err 46'
run regsvr32 /s /u "$(windows_path "$ocx")"

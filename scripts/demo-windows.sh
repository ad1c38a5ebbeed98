#!/usr/bin/env bash
# The whole system on Windows (Wine), played by the scripted user of scripts/demo.sh: Rigwright is
# installed from rigwright.msi and the stand-ins from rigwright-dev.msi into a Wine prefix of the
# run's own; the installed development host loads the sample part and the installed add-in and
# presses "Rigwright"; the installed wrapper starts the installed editor stand-in, whose request
# for a solid the add-in's STL picker answers over the named pipe; the editor exports the machine
# as a bundle and into Kelmora's folder under %APPDATA%. Windows get captions on Wine's virtual
# desktop. Both packages are uninstalled again at the end.
#
#   scripts/demo-windows.sh <windows-build-folder> <out-folder> [<wine-prefix>]
#
# Needs a display (run.sh and the e2e test run it under xvfb-run). The prefix (default
# <windows-build-folder>/run-wine) is created when missing; a wineserver of its own is started
# and stopped. Leaves in <out>: bundles/, machine/ (the installed machine, copied out of the
# prefix), screenshots/, messages.txt and the logs. Exits 0 when the run ended cleanly.
set -euo pipefail

build=$(realpath "$1")
out=$(realpath -m "$2")
export WINEPREFIX=$(realpath -m "${3:-$build/run-wine}")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The programs must find their DLLs in the install folder, as on a user's machine.
unset WINEPATH

rm -rf "$out"
mkdir -p "$out/bundles" "$out/screenshots" "$out/logs"
logs=$out/logs

windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# Wine's output goes to files: with a persistent wineserver a pipe would never reach its end.
run_wine() {  # log name, program, arguments...
  local log=$logs/$1
  shift
  "$wine" "$@" >"$log.out" 2>"$log.err"
}

# One persistent server for the run, ended however the run ends.
mkdir -p "$WINEPREFIX"
wineserver -p >"$logs/wineserver.log" 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if [ -f "$WINEPREFIX/system.reg" ]; then
  run_wine wineboot wineboot
else
  echo "demo-windows: creating the Wine prefix $WINEPREFIX"
  run_wine wineboot wineboot -i
fi
# Every window of the run on one virtual desktop, with captions, as on a user's screen.
run_wine desktop-1 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d rigwright /f
run_wine desktop-2 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v rigwright /d 1280x1024 /f

msiexec() {  # log name, arguments...
  local log=$1
  shift
  run_wine "$log" msiexec "$@" /qn /l*v "$(windows_path "$logs/$log.msilog")"
}
user_msi=$(windows_path "$build/installer/rigwright.msi")
dev_msi=$(windows_path "$build/installer/rigwright-dev.msi")
# A run left over from an earlier try is removed first, so that this one starts as a fresh user's.
msiexec uninstall-dev-before /x "$dev_msi" || true
msiexec uninstall-before /x "$user_msi" || true
msiexec install /i "$user_msi" || { echo "demo-windows: rigwright.msi did not install" >&2; exit 1; }
msiexec install-dev /i "$dev_msi" ||
  { echo "demo-windows: rigwright-dev.msi did not install" >&2; exit 1; }
uninstall() {
  msiexec uninstall-dev /x "$dev_msi" || true
  msiexec uninstall /x "$user_msi" || true
}

folder='C:\Program Files\Orvane AS\Orvane Rigwright for Mastercam\'
linux_folder="$WINEPREFIX/drive_c/Program Files/Orvane AS/Orvane Rigwright for Mastercam"
if [ ! -f "$linux_folder/RigwrightDevHost.exe" ] || [ ! -f "$linux_folder/RigwrightWrapper.exe" ]; then
  echo "demo-windows: the packages did not install the host and the wrapper into $linux_folder" >&2
  uninstall
  exit 1
fi

# The user's folders inside the prefix; Kelmora's own folder is there before Rigwright runs.
user_folder() {  # the variable's name: the folder's Linux path
  run_wine "folder-$1" cmd /c echo "%$1%"
  local windows
  windows=$(tr -d '\r\n' <"$logs/folder-$1.out")
  windows=${windows#C:\\}
  printf '%s/drive_c/%s' "$WINEPREFIX" "${windows//\\//}"
}
appdata=$(user_folder APPDATA)
temp=$(user_folder TEMP)
rm -rf "$appdata/Kelmora" "$temp"/Rigwright*
mkdir -p "$appdata/Kelmora/MachineCfg"

export RIGWRIGHT_DEMO_OUT=$(windows_path "$out")
export MAVRILO_SCRIPT=$(windows_path "$source_dir/data/demo/editor-script.txt")
export RIGWRIGHT_UI_SCRIPT=$(windows_path "$source_dir/data/demo/ui-script.txt")

log=$out/host.log
# The host loads the add-in it finds beside itself, as installed.
"$wine" "${folder}RigwrightDevHost.exe" --part "${folder}sample-part.json" \
  --selection-script "$(windows_path "$source_dir/data/demo/selection.txt")" --run-rigwright \
  >"$log" 2>&1 &
host=$!

# A wrapper of this prefix: other Wine prefixes on the machine may run wrappers of their own.
wrapper_running() {
  local pid
  for pid in $(pgrep -f 'RigwrightWrapper\.exe' || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
installed="$appdata/Kelmora/MachineCfg/Demo Mill/Demo Mill.OrvaneSimCfg"
# The run is over when the editor has closed: the wrapper has ended after the second export.
finished() { [ -f "$installed" ] && ! wrapper_running; }
for _ in $(seq 1 900); do
  finished && break
  if ! kill -0 "$host" 2>/dev/null; then
    echo "demo-windows: the development host ended early; its log:" >&2
    cat "$log" >&2
    uninstall
    exit 1
  fi
  sleep 0.2
done
if ! finished; then
  echo "demo-windows: the run did not finish within three minutes; the host's log:" >&2
  cat "$log" >&2
  run_wine kill-host taskkill /f /im RigwrightDevHost.exe || true
  run_wine kill-wrapper taskkill /f /im RigwrightWrapper.exe || true
  uninstall
  exit 1
fi

# The host is asked to close as the system asks a program at the user's logoff: its window gets
# WM_CLOSE, and the host unloads the add-in on its way out.
run_wine close-host taskkill /im RigwrightDevHost.exe || true
status=0
wait "$host" || status=$?
mkdir -p "$out/machine"
cp -r "$appdata/Kelmora/MachineCfg/." "$out/machine/"
uninstall
if [ "$status" -ne 0 ]; then
  echo "demo-windows: the host did not end cleanly (status $status); its log:" >&2
  cat "$log" >&2
  exit 1
fi
for said in "add-in loaded: ${folder}RigwrightAddin.dll (version 2450)" "add-in unloaded"; do
  if ! grep -qF "$said" "$log"; then
    echo "demo-windows: the host did not say \"$said\"; its log:" >&2
    cat "$log" >&2
    exit 1
  fi
done
if compgen -G "$temp/Rigwright*" >/dev/null; then
  echo "demo-windows: the wrapper left its working folder in $temp:" $(ls "$temp") >&2
  exit 1
fi
if [ -d "$linux_folder" ]; then
  echo "demo-windows: the uninstall left $linux_folder behind" >&2
  exit 1
fi

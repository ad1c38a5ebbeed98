#!/usr/bin/env bash
# The Windows installers' tests, run by ctest (installer/CMakeLists.txt sets the environment):
#   msi_test.sh contents          what the packages hold, read with msiinfo; no Wine
#   msi_test.sh install [folder]  rigwright.msi installed silently under Wine (into `folder` when
#                                 given), checked, rigwright.exe run from the installed folder,
#                                 uninstalled, and checked that nothing is left
#   msi_test.sh dev               rigwright-dev.msi installed beside rigwright.msi and removed
# Environment: WINEPREFIX (the build's own), RIGWRIGHT_WINE (wine64), RIGWRIGHT_MSIINFO,
# RIGWRIGHT_MSI and RIGWRIGHT_MSI_FILES (the package and its list of installed files, each a path
# below the install folder, a tab and its source), RIGWRIGHT_DEV_MSI and RIGWRIGHT_DEV_MSI_FILES,
# RIGWRIGHT_REQUIRED and RIGWRIGHT_STANDINS (file names separated by "|": what rigwright.msi must
# and must never hold), RIGWRIGHT_MACHINES (the generic machines' source folder), RIGWRIGHT_PROBE
# (a program that prints the install folder as the add-in finds it), RIGWRIGHT_WORK (scratch).
# Safe to run again after any failure: every install starts with the uninstall of both packages.
set -euo pipefail

# Never the user's own Wine prefix.
: "${WINEPREFIX:?must name the Wine prefix of the build, as the windows presets do}"
wine=$RIGWRIGHT_WINE
work=$RIGWRIGHT_WORK
settings_key='HKLM\SOFTWARE\Orvane\Orvane Rigwright for Mastercam'
default_folder='C:\Program Files\Orvane AS\Orvane Rigwright for Mastercam\'
rm -rf "$work"
mkdir -p "$work"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s); logs in $work" >&2
    exit 1
  fi
  echo "all checks passed"
}

# Wine sees the Linux root as drive Z: and the prefix's drive_c as C:.
windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
linux_path() {  # C:\a\b\ -> $WINEPREFIX/drive_c/a/b
  local p=${1#C:\\}
  p=${p%\\}
  printf '%s/drive_c/%s' "$WINEPREFIX" "${p//\\//}"
}

# Wine's output goes to files: with a persistent wineserver a pipe would never reach its end.
run_wine() {  # log name, program, arguments...
  local log=$work/$1
  shift
  "$wine" "$@" >"$log.out" 2>"$log.err"
}

msiexec() {  # log name, arguments...
  local log=$1
  shift
  run_wine "$log" msiexec "$@" /qn /l*v "$(windows_path "$work/$log.msilog")"
}

# The settings key of the 64-bit view as reg.exe exports it (UTF-8 here), or nothing when it is
# absent. reg query would print the value in the console's code page, which loses letters.
export_setting() {  # file to export to
  rm -f "$1"
  run_wine reg-export reg export "$settings_key" "$(windows_path "$1")" /reg:64 /y || return 0
  iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'
}

# The "Directory" value as a .reg file writes it: "C:\\a\\" for a REG_SZ, hex(2):... otherwise.
directory_value() { export_setting "$work/setting.reg" | sed -n 's/^"Directory"=//p'; }

key_exists() { run_wine reg-key reg query "$settings_key" /reg:64; }

uninstall_both() {
  [ -f "${RIGWRIGHT_DEV_MSI:-}" ] &&
    { msiexec uninstall-dev-first /x "$(windows_path "$RIGWRIGHT_DEV_MSI")" || true; }
  msiexec uninstall-first /x "$(windows_path "$RIGWRIGHT_MSI")" || true
}

# A value that is not ours (another test's, or one written by hand) is put aside for the run and
# restored afterwards, so that an install lands where this test expects and "nothing left" holds.
set_aside_foreign_setting() {
  local value
  value=$(directory_value)
  [ -n "$value" ] || return 0
  echo "note: setting aside an existing Directory value $value"
  cp "$work/setting.reg" "$work/foreign-setting.reg"
  run_wine reg-delete reg delete "$settings_key" /reg:64 /f
  trap restore_foreign_setting EXIT
}
restore_foreign_setting() {
  run_wine reg-restore reg import "$(windows_path "$work/foreign-setting.reg")" /reg:64 ||
    echo "could not restore the Directory value from $work/foreign-setting.reg" >&2
}

# Every file of the lists is in `folder`, byte for byte its source, and nothing else is there.
check_files() {  # folder, list files...
  local folder=$1 name source
  shift
  cut -f1 "$@" | sort >"$work/expected-files"
  while IFS=$'\t' read -r name source; do
    if [ ! -f "$folder/$name" ]; then
      fail "$name is not in $folder"
    elif ! cmp -s "$folder/$name" "$source"; then
      fail "$folder/$name differs from $source"
    fi
  done < <(cat "$@")
  (cd "$folder" && find . -type f | sed 's|^\./||' | sort) >"$work/installed-files"
  if ! diff "$work/expected-files" "$work/installed-files" >"$work/files.diff"; then
    fail "the install folder holds other files than the packages list:"
    cat "$work/files.diff" >&2
  fi
}

# What a user expects whatever the lists say: the named programs, and every generic machine.
check_required() {  # folder
  local name file
  IFS='|' read -r -a names <<<"$RIGWRIGHT_REQUIRED"
  for name in "${names[@]}"; do
    [ -z "$name" ] || [ -f "$1/$name" ] || fail "$name is missing from $1"
  done
  while IFS= read -r -d '' file; do
    [ -f "$1/Generic Machines/${file#"$RIGWRIGHT_MACHINES"/}" ] ||
      fail "generic machine file ${file#"$RIGWRIGHT_MACHINES"/} is missing from $1"
  done < <(find "$RIGWRIGHT_MACHINES" -type f -print0)
}

check_setting() {  # the install folder (Windows path, with its final backslash)
  local value
  value=$(directory_value)
  [ "$value" = "\"${1//\\/\\\\}\"" ] ||
    fail "registry value Directory in the 64-bit view is ${value:-absent}, not the string \"$1\""
  # The same value through the reader the add-in and the wrapper use.
  if run_wine probe "$RIGWRIGHT_PROBE"; then
    [ "$(cat "$work/probe.out")" = "$1" ] ||
      fail "the add-in's reader finds the install folder \"$(cat "$work/probe.out")\", not \"$1\""
  else
    fail "the install folder probe did not run: $(cat "$work/probe.err")"
  fi
}

# rigwright.exe from the installed folder bundles each installed generic machine, and verifies
# the bundle with both of its packages.
check_tool() {  # install folder (Windows path)
  local folder=$1 mcfg stem bundle
  local tool="${folder}rigwright.exe"
  for mcfg in "$(linux_path "$folder")/Generic Machines"/*.mcfg; do
    [ -f "$mcfg" ] || { fail "no generic machine is installed"; return; }
    stem=$(basename "$mcfg" .mcfg)
    bundle="$work/$stem.OrvaneSimBundle"
    if ! run_wine "bundle-$stem" "$tool" bundle "${folder}Generic Machines\\$stem.mcfg" \
        "$(windows_path "$bundle")"; then
      fail "installed rigwright.exe bundle $stem failed: $(cat "$work/bundle-$stem.err")"
      continue
    fi
    [ -s "$bundle" ] || { fail "installed rigwright.exe wrote no bundle for $stem"; continue; }
    run_wine "verify-$stem" "$tool" verify "$(windows_path "$bundle")" ||
      fail "installed rigwright.exe verify $stem failed: $(cat "$work/verify-$stem.err")"
    local verified
    verified=$(grep -c 'OK, signature verified' "$work/verify-$stem.out" || true)
    [ "$verified" -eq 3 ] ||
      fail "verify of $stem's bundle verified $verified packages, not 3 (the bundle, both nested)"
  done
}

check_nothing_left() {  # install folder (Windows path)
  local folder
  folder=$(linux_path "$1")
  [ ! -e "$folder" ] && return 0 || true
  fail "$folder is still there after the uninstall:"
  find "$folder" >&2
}

# What a faulty package of an earlier run left behind (reported by that run) would fail this one.
clear_leftovers() {  # install folder (Windows path)
  local folder
  folder=$(linux_path "$1")
  [ -e "$folder" ] || return 0
  echo "note: removing $folder, left behind by an earlier run"
  rm -rf "$folder"
}

check_setting_gone() {
  [ -z "$(directory_value)" ] || fail "registry value Directory is still there after the uninstall"
  ! key_exists || fail "registry key $settings_key is still there after the uninstall"
}

msi_table() {  # package, table: its rows, without the three heading lines
  "$RIGWRIGHT_MSIINFO" export "$1" "$2" | tr -d '\r' | tail -n +4
}

file_names() {  # package: the long names of its File table
  msi_table "$1" File | cut -f3 | sed 's/^.*|//' | sort
}

case_contents() {
  local name
  file_names "$RIGWRIGHT_MSI" >"$work/user-names"
  IFS='|' read -r -a names <<<"$RIGWRIGHT_REQUIRED"
  for name in "${names[@]}"; do
    [ -z "$name" ] || grep -qxF "$name" "$work/user-names" ||
      fail "rigwright.msi does not hold $name"
  done
  tr '|' '\n' <<<"$RIGWRIGHT_STANDINS" >"$work/standin-names"
  [ -f "${RIGWRIGHT_DEV_MSI:-}" ] && file_names "$RIGWRIGHT_DEV_MSI" >>"$work/standin-names"
  while IFS= read -r name; do
    [ -n "$name" ] && grep -qxF "$name" "$work/user-names" &&
      fail "rigwright.msi holds the development file $name"
  done < <(sort -u "$work/standin-names")
  "$RIGWRIGHT_MSIINFO" suminfo "$RIGWRIGHT_MSI" >"$work/suminfo"
  grep -q '^Template: x64;' "$work/suminfo" || fail "rigwright.msi is not a 64-bit package"
  # The registry value: HKLM (2), the folder as resolved (with its final backslash), and a
  # component marked 64-bit (256), so that it lands in the view the add-in reads.
  msi_table "$RIGWRIGHT_MSI" Registry >"$work/registry"
  local row component attributes
  row=$(awk -F'\t' '$2 == 2 && $4 == "Directory" && $5 == "[INSTALLFOLDER]"' "$work/registry")
  [ "$(cut -f3 <<<"$row")" = 'SOFTWARE\Orvane\Orvane Rigwright for Mastercam' ] ||
    fail "rigwright.msi writes no Directory value [INSTALLFOLDER] under $settings_key"
  component=$(cut -f6 <<<"$row")
  attributes=$(msi_table "$RIGWRIGHT_MSI" Component |
    awk -F'\t' -v c="$component" '$1 == c { print $4 }')
  (( ${attributes:-0} & 256 )) || fail "the Directory value's component is not 64-bit"
  if [ -f "${RIGWRIGHT_DEV_MSI:-}" ]; then
    [ -z "$(msi_table "$RIGWRIGHT_DEV_MSI" Registry)" ] ||
      fail "rigwright-dev.msi writes registry values; removing it would take the product's"
  fi
}

case_install() {
  local folder=${1:-}
  local expected=${folder:-$default_folder}
  [[ "$expected" == *\\ ]] || expected="$expected\\"
  uninstall_both
  set_aside_foreign_setting
  clear_leftovers "$expected"
  if [ -n "$folder" ]; then
    msiexec install /i "$(windows_path "$RIGWRIGHT_MSI")" "INSTALLFOLDER=$folder" ||
      fail "msiexec /i with INSTALLFOLDER=$folder failed (log $work/install.msilog)"
  else
    msiexec install /i "$(windows_path "$RIGWRIGHT_MSI")" ||
      fail "msiexec /i failed (log $work/install.msilog)"
  fi
  check_files "$(linux_path "$expected")" "$RIGWRIGHT_MSI_FILES"
  check_required "$(linux_path "$expected")"
  check_setting "$expected"
  check_tool "$expected"

  msiexec uninstall /x "$(windows_path "$RIGWRIGHT_MSI")" ||
    fail "msiexec /x failed (log $work/uninstall.msilog)"
  check_nothing_left "$expected"
  if [ -z "$folder" ]; then
    [ ! -e "$(linux_path 'C:\Program Files\Orvane AS')" ] ||
      fail "C:\\Program Files\\Orvane AS is still there after the uninstall"
  fi
  check_setting_gone
}

case_dev() {
  uninstall_both
  set_aside_foreign_setting
  clear_leftovers "$default_folder"
  local folder
  folder=$(linux_path "$default_folder")
  msiexec install /i "$(windows_path "$RIGWRIGHT_MSI")" || fail "msiexec /i rigwright.msi failed"
  msiexec install-dev /i "$(windows_path "$RIGWRIGHT_DEV_MSI")" ||
    fail "msiexec /i rigwright-dev.msi failed (log $work/install-dev.msilog)"
  check_files "$folder" "$RIGWRIGHT_MSI_FILES" "$RIGWRIGHT_DEV_MSI_FILES"
  check_setting "$default_folder"

  # The stand-ins go alone; the product stays whole.
  msiexec uninstall-dev /x "$(windows_path "$RIGWRIGHT_DEV_MSI")" ||
    fail "msiexec /x rigwright-dev.msi failed (log $work/uninstall-dev.msilog)"
  check_files "$folder" "$RIGWRIGHT_MSI_FILES"
  check_setting "$default_folder"

  msiexec uninstall /x "$(windows_path "$RIGWRIGHT_MSI")" || fail "msiexec /x rigwright.msi failed"
  check_nothing_left "$default_folder"
  check_setting_gone
}

case ${1:-} in
  contents) case_contents ;;
  install) case_install "${2:-}" ;;
  dev) case_dev ;;
  *) echo "usage: msi_test.sh contents | install [folder] | dev" >&2; exit 2 ;;
esac
finish

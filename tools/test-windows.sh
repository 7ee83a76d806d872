#!/usr/bin/env bash
# The Windows build's tests, under Wine: headless (no display, no Wine debug
# output, no .NET or HTML engine), in a fresh Wine prefix in a temporary
# folder that is removed at the end, with the Wine server of that prefix
# stopped. Needs tools/build-windows.sh's output and the Linux build (for
# the files and dispatch results to compare with).
#
#   tools/test-windows.sh [WINDOWS_BUILD] [LINUX_BUILD]   (build-windows, build)
#
# Skips, saying so, when Wine or the cross tools are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win=$(realpath -m "${1:-build-windows}")/bin
linux=$(realpath -m "${2:-build}")

skip() {
  echo "test-windows: SKIPPED: $*"
  exit 0
}
die() {
  echo "test-windows: $*" >&2
  exit 1
}
command -v wine >/dev/null && command -v wineboot >/dev/null && command -v wineserver >/dev/null ||
  skip "Wine is not installed (Debian: wine wine64)"
command -v x86_64-w64-mingw32-g++-posix >/dev/null || skip "the mingw-w64 cross tools are not installed"
for f in Quillon.dll quillon.exe dispatch_cases.exe file_cases.exe; do
  [[ -f $win/$f ]] || die "$win/$f is missing: run tools/build-windows.sh first"
done
for f in bin/quillon bin/dispatch_cases bin/cli_process_tests lib/libQuillon.so; do
  [[ -e $linux/$f ]] || die "$linux/$f is missing: build the Linux side first"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-wine.XXXXXX")
# Nothing of Wine's outside that folder: no menu entries for the user, and
# the server's socket folder inside it too.
mkdir "$work/tmp"
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all TMPDIR=$work/tmp
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Number and text conversions follow the locale: the same one for every run.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  wineserver -k >/dev/null 2>&1 || true  # this prefix's server only
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
ok() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Wine's programs end their lines with CR LF. None may hang the run.
wine_run() { timeout 300 wine "$@" 2>&1 | tr -d '\r'; }

started=$(date +%s)
# One server for the whole run. Left to itself the server exits a moment
# after its last program, and a program that starts just then fails with
# "wine client error:0: recvmsg: Connection reset by peer" (seen in a few
# runs in a hundred, more under load). The cleanup above stops it.
mkdir "$WINEPREFIX"
wineserver -p || die "wineserver -p failed"
timeout 300 wineboot -i >/dev/null 2>&1 || die "wineboot failed"
echo "test-windows: prefix ready in $(($(date +%s) - started)) s"

# Installed where the path has a blank and a single quote: registration must
# carry it unchanged.
dir_unix="$WINEPREFIX/drive_c/Quillon's tools"
dir="C:\\Quillon's tools"
mkdir -p "$dir_unix"
cp "$win"/*.dll "$win"/*.exe "$dir_unix/"

idl=component/Quillon.idl
# The identifier in the attribute block right before a declaration.
uuid_before() { sed -n "s/.*uuid(\([0-9A-Fa-f-]*\)).*/\1/p; /$1/q" "$idl" | tail -n 1 | tr a-f A-F; }
clsid="{$(uuid_before 'coclass Preferences')}"
libid="{$(uuid_before 'library QUILLONLib')}"
iid="{$(uuid_before 'interface IPreferences')}"
[[ ${#clsid} == 38 && ${#libid} == 38 && ${#iid} == 38 ]] || die "cannot read the identifiers from $idl"

# The data of one registry value ("" is the key's default value), or
# "<missing>".
reg_value() {
  local key=$1 name=$2 out
  if [[ -z $name ]]; then
    out=$(wine_run reg query "$key" /ve) || { echo "<missing>"; return; }
  else
    out=$(wine_run reg query "$key" /v "$name") || { echo "<missing>"; return; }
  fi
  sed -n 's/^ *[^ ].*REG_SZ *//p' <<<"$out" | head -n 1
}
expect_value() {
  local key=$1 name=$2 expected=$3 got
  got=$(reg_value "$key" "$name")
  if [[ $got == "$expected" ]]; then ok "$key ${name:-(default)}"; else fail "$key ${name:-(default)} = '$got', expected '$expected'"; fi
}
# Both places class registrations go, as text.
classes_snapshot() {
  local hive
  : >"$work/$1.reg"
  for hive in 'HKLM\Software\Classes' 'HKCU\Software\Classes'; do
    rm -f "$work/export.reg"
    wine reg export "$hive" "$work/export.reg" /y >/dev/null 2>&1 || true
    [[ -f $work/export.reg ]] && iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r' >>"$work/$1.reg"
  done
  return 0
}

regsvr32() {
  local what="regsvr32 $*"
  if wine_run regsvr32 /s "$@" "$dir\\Quillon.dll"; then ok "$what"; else fail "$what: exit status $?"; fi
}
# Anything of ours left in the class registrations.
ours() { grep -i -n -F -e "$clsid" -e "$libid" -e "$iid" -e "Quillon" "$work/$1.reg" | head -n 20; }

echo "=== the file layer"
mkdir -p "$work/files"
printf 'standard input\r\n' >"$work/input.txt"
if (cd "$work/files" && timeout 300 wine "$dir_unix/file_cases.exe" <"$work/input.txt" 2>&1 | tr -d '\r'); then
  ok "file layer"
else
  fail "file layer"
fi

echo "=== registration"
# Registering and unregistering at once leaves the registry as it was
# (later the script host registers its own libraries on first use).
classes_snapshot before
regsvr32
regsvr32 /u
classes_snapshot after
if diff -u --label "before regsvr32" --label "after regsvr32 /u" "$work/before.reg" "$work/after.reg" | head -n 40; then
  :
fi
if cmp -s "$work/before.reg" "$work/after.reg"; then ok "regsvr32 /u removed everything regsvr32 wrote"; else fail "regsvr32 /u left changes"; fi
regsvr32
expect_value 'HKCR\Quillon.Preferences.1' "" "Preferences Class"
expect_value 'HKCR\Quillon.Preferences.1\CLSID' "" "$clsid"
expect_value 'HKCR\Quillon.Preferences' "" "Preferences Class"
expect_value 'HKCR\Quillon.Preferences\CLSID' "" "$clsid"
expect_value 'HKCR\Quillon.Preferences\CurVer' "" "Quillon.Preferences.1"
expect_value "HKCR\\CLSID\\$clsid" "" "Preferences Class"
expect_value "HKCR\\CLSID\\$clsid\\ProgID" "" "Quillon.Preferences.1"
expect_value "HKCR\\CLSID\\$clsid\\VersionIndependentProgID" "" "Quillon.Preferences"
expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$dir\\Quillon.dll"
expect_value "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel "Both"
expect_value "HKCR\\CLSID\\$clsid\\TypeLib" "" "$libid"
if wine_run reg query "HKCR\\CLSID\\$clsid\\Programmable" >/dev/null; then ok "Programmable"; else fail "no Programmable key"; fi
expect_value "HKCR\\TypeLib\\$libid\\1.0" "" "Quillon 1.0 Type Library"
expect_value "HKCR\\TypeLib\\$libid\\1.0\\0\\win64" "" "$dir\\Quillon.dll"
expect_value "HKCR\\TypeLib\\$libid\\1.0\\HELPDIR" "" "$dir\\"

echo "=== VBScript session"
mkdir -p "$WINEPREFIX/drive_c/session"
cp tests/windows/session.vbs "$WINEPREFIX/drive_c/session.vbs"
(cd "$work" && QUILLON_REGISTRY=$work/linux-registry.txt "$linux/bin/quillon" register "$linux/lib/libQuillon.so" >/dev/null &&
  QUILLON_REGISTRY=$work/linux-registry.txt "$linux/bin/quillon" new "$WINEPREFIX/drive_c/session/reference.S19")
if wine_run cscript //nologo 'C:\session.vbs' 'C:\session'; then ok "VBScript session"; else fail "VBScript session"; fi

echo "=== the command-line client's process tests, against quillon.exe"
# The same tests as on Linux, with quillon.exe and Quillon.dll in their
# place; left out are those about what Windows does not have (the stand-in's
# registry file, byte-string file names, /dev and /proc, bash's pipes as
# file names, the manual page).
cli_dir="$WINEPREFIX/drive_c/quillon-cli"
mkdir -p "$cli_dir"
cp "$win/quillon.exe" "$win/Quillon.dll" "$cli_dir/"
cli_tests=(NewSetGetShowDiff JsonRoundTripsAndControlCharactersAreEscaped DamagedFilesAndCheck FailuresNameTheStatus
  UsageAndHelp ConcurrentSetsLoseNothing)
filter=$(printf 'Cli.%s:' "${cli_tests[@]}")
if QUILLON_TEST_CLI="wine $cli_dir/quillon.exe" QUILLON_TEST_COMPONENT='C:\quillon-cli\Quillon.dll' \
  timeout 600 "$linux/bin/cli_process_tests" --gtest_filter="$filter" --gtest_brief=1 >"$work/cli.txt" 2>&1; then
  ok "process tests of quillon.exe: ${#cli_tests[@]} groups"
else
  cat "$work/cli.txt"
  fail "process tests of quillon.exe"
fi

echo "=== dispatch cases: the system's automation library against our platform"
mkdir -p "$work/cases-windows"
(cd "$work/cases-windows" && timeout 300 wine "$dir_unix/dispatch_cases.exe" 2>/dev/null | tr -d '\r' >"$work/windows.txt") || true
tests/windows/dispatch_cases.sh "$linux/bin/quillon" "$linux/lib/libQuillon.so" "$linux/bin/dispatch_cases" \
  "$work/linux.txt" || true
# Wine's lines that known_differences.txt lists are replaced by ours; an
# entry that matches nothing is stale.
awk -v unused="$work/unused.txt" '
  FNR == NR { if (/^< /) want = substr($0, 3); else if (/^> /) { map[want] = substr($0, 3); seen[want] = 0 } next }
  ($0 in map) { seen[$0] = 1; print map[$0]; next }
  { print }
  END { for (w in seen) if (!seen[w]) print w > unused }
' tests/windows/known_differences.txt "$work/windows.txt" >"$work/windows-accepted.txt"
if [[ ! -s $work/windows.txt ]]; then
  fail "dispatch cases: no output under Wine"
elif diff -u --label windows --label linux "$work/windows-accepted.txt" "$work/linux.txt"; then
  ok "dispatch cases: $(wc -l <"$work/windows.txt") lines alike ($(grep -c '^< ' tests/windows/known_differences.txt) known differences)"
else
  fail "dispatch cases differ (lines with - are the system's, + ours)"
fi
if [[ -s $work/unused.txt ]]; then
  fail "known differences no longer seen:"
  cat "$work/unused.txt"
fi

echo "=== unregistration"
regsvr32 /u
classes_snapshot final
if [[ -z $(ours final) ]]; then ok "no keys of ours left"; else fail "keys of ours left after regsvr32 /u:"; ours final; fi

if [[ $failures -gt 0 ]]; then
  echo "test-windows: $failures failure(s)"
  exit 1
fi
echo "test-windows: all passed in $(($(date +%s) - started)) s"

#!/usr/bin/env bash
# run-wine-tests.sh BUILD_DIR [gtest arguments...]
# Runs the Windows tests of a MinGW build under Wine: checks the add-in
# DLL's exports and imports, makes a fresh Wine prefix, registers the DLL
# with regsvr32 as an installer would, runs the test program (the Outlook
# host and all Windows tests, one process), then office_client (Outlook's
# side in C, from Microsoft's listings alone) in the same prefix, and fails
# when either fails. The prefix is removed afterwards. A 32-bit build runs
# on 32-bit Wine (wine, WINEARCH=win32) unless WINE and WINEARCH say else.
# Every step runs on one virtual display: the tests answer real message
# boxes, and Wine's desktop, started by the first step, must have a display
# to put them on.
set -euo pipefail

if [ -z "${TROVEX_WINE_ON_XVFB:-}" ]; then
  TROVEX_WINE_ON_XVFB=1 exec xvfb-run -a "$0" "$@"
fi

build=$(cd "${1:?usage: run-wine-tests.sh BUILD_DIR [gtest arguments...]}" && pwd)
shift
root=$(cd "$(dirname "$0")/.." && pwd)
dll=$build/src/addin/trovex_addin.dll
exe=$build/tests/wine/trovex_wine_tests.exe
client=$build/src/addin/office_client.exe
for f in "$dll" "$exe" "$client"; do
  [ -f "$f" ] || { echo "missing $f (run scripts/build-windows.sh)" >&2; exit 2; }
done

objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")
"$root/tests/wine/check_dll.sh" "$objdump" "$dll"

export PATH=/usr/lib/wine:$PATH
if grep -q '^CMAKE_TOOLCHAIN_FILE:.*i686' "$build/CMakeCache.txt"; then
  wine=${WINE:-wine}
  export WINEARCH=${WINEARCH:-win32}
else
  wine=${WINE:-wine64}
  export WINEARCH=${WINEARCH:-win64}
fi
export WINEDEBUG=-all
# A zone with summer time, as the native tests use: file times must follow
# the rule of each mail's date.
export TZ=Europe/Berlin
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/trovex-wine.XXXXXX")
export WINEPREFIX
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

start=$SECONDS
# One server for every step, so each wine call starts at once.
wineserver -p
"$wine" wineboot -i >/dev/null 2>&1

# Windows' form of the DLL's path (Wine's Z: is the Unix root).
windll="Z:${dll//\//\\}"
# Outlook counts as installed by its ProgID, so registration writes the
# add-in key as on a machine with Outlook.
outlook='{0006F03A-0000-0000-C000-000000000046}'
"$wine" reg add 'HKCR\Outlook.Application\CLSID' /ve /d "$outlook" /f >/dev/null
"$wine" reg add "HKCR\CLSID\\$outlook" /ve /d 'Microsoft Outlook' /f >/dev/null
if ! "$wine" regsvr32 /s "$windll"; then
  echo "regsvr32 /s $windll failed" >&2
  exit 1
fi
echo "Wine prefix ready in $((SECONDS - start)) s"

status=0
TROVEX_ADDIN_DLL="$windll" "$wine" "$exe" "$@" || status=$?
client_status=0
"$wine" "$client" || client_status=$?
[ $client_status -eq 0 ] || echo "office_client failed ($client_status)" >&2
echo "Wine run took $((SECONDS - start)) s"
[ $status -ne 0 ] && exit $status
exit $client_status

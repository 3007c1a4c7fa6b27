#!/usr/bin/env bash
# check_dll.sh OBJDUMP DLL: the add-in exports exactly the four entry points
# of an in-process COM server and imports from system DLLs only, so that it
# loads on any Windows without a MinGW runtime beside it; it ships without
# debug sections and without winpthreads, whose vectored exception handler
# would watch all of Outlook's exceptions; and it names no
# TROVEX_TEST_ variable, in 8-bit or UTF-16 text, so nothing in the
# environment can change what the shipped add-in does.
set -euo pipefail
objdump=$1
dll=$2

dump=$("$objdump" -p "$dll")

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next} t && /^\t\[/ {print $NF; next} t {t = 0}' <<<"$dump" | sort)
expected=$(printf '%s\n' DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
status=0
if [ "$exports" != "$expected" ]; then
  echo "FAIL $dll exports:"; echo "$exports" | sed 's/^/  /'
  echo "expected exactly:"; echo "$expected" | sed 's/^/  /'
  status=1
fi

# Windows' own DLLs; anything else (libstdc++-6, libgcc_s_*, libwinpthread-1)
# would have to ship beside the add-in.
system='^(kernel32|user32|advapi32|ole32|oleaut32|shell32|shlwapi|comdlg32|comctl32|gdi32|gdiplus|uxtheme|version|winhttp|wininet|urlmon|ws2_32|crypt32|bcrypt|ntdll|rpcrt4|msimg32|shcore|dwmapi|imm32|oleacc|winmm|userenv|secur32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump" | sort -u)
for name in $imports; do
  if ! grep -qiE "$system" <<<"$name"; then
    echo "FAIL $dll imports from $name, which is no system DLL"
    status=1
  fi
done

debug=$("$objdump" -h "$dll" | awk '$2 ~ /^\.debug/ {print $2}')
if [ -n "$debug" ]; then
  echo "FAIL $dll carries debug sections: $(echo $debug)"
  status=1
fi
if grep -qE '(AddVectoredExceptionHandler|pthread_)' <<<"$dump"; then
  echo "FAIL $dll brings winpthreads or a vectored exception handler:"
  grep -E '(AddVectoredExceptionHandler|pthread_)' <<<"$dump" | sed 's/^/  /'
  status=1
fi

hooks=$( (strings -a "$dll"; strings -a -e l "$dll") | grep -o 'TROVEX_TEST_[A-Za-z0-9_]*' | sort -u || true)
if [ -n "$hooks" ]; then
  echo "FAIL $dll names test variables:"; echo "$hooks" | sed 's/^/  /'
  status=1
fi

[ $status -eq 0 ] && echo "OK $dll: exports $(echo $exports); imports $(echo $imports)"
exit $status

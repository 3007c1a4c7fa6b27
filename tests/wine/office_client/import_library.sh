#!/usr/bin/env bash
# import_library.sh OBJDUMP NM DLLTOOL DLL LIBRARY: an import library of the
# DLL's exports, each as AddIn_<symbol> for the symbol the DLL itself
# defines for it. The add-in's .def keeps its exports out of its own import
# library, and on x86 the export name alone hides the calling convention:
# the DLL's symbol table has _Name@N for a stdcall function, _Name for a
# cdecl one, so a stdcall caller links only against the former (with the
# linker's stdcall fixup off). The prefix keeps the names apart from
# ole32's own DllGetClassObject and DllCanUnloadNow, which would otherwise
# satisfy a call the DLL cannot.
set -euo pipefail
objdump=$1
nm=$2
dlltool=$3
dll=$4
lib=$5

exports=$("$objdump" -p "$dll" |
  awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next} t && /^\t\[/ {print $NF; next} t {t = 0}')
[ -n "$exports" ] || { echo "$dll exports nothing" >&2; exit 1; }
symbols=$("$nm" "$dll")
def=${lib%.a}.def
{
  echo "LIBRARY $(basename "$dll")"
  echo "EXPORTS"
  for name in $exports; do
    decorated=$(awk -v want="_$name@" '$2 == "T" && index($3, want) == 1 && substr($3, length(want) + 1) ~ /^[0-9]+$/ \
                  {print substr($3, 2); exit}' <<<"$symbols")
    echo "  AddIn_${decorated:-$name} == $name"
  done
} >"$def"
# The import names the export itself (== and --kill-at); the symbol keeps @N.
"$dlltool" --kill-at --input-def "$def" --dllname "$(basename "$dll")" --output-lib "$lib"

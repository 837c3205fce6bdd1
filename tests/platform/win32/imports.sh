#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that Windows itself does not
# ship (the MinGW runtime's libstdc++, libgcc or winpthread, for example):
# the programs are linked statically so that they run from a bare folder.
#   imports.sh OBJDUMP PROGRAM...
set -uo pipefail
objdump=$1
shift
# Windows' own DLLs, in lower case.
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll msvcrt.dll ntdll.dll shell32.dll "
status=0
for program in "$@"; do
  dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
  if [ -z "$dlls" ]; then
    echo "$program: no imports found (is it a Windows program?)"
    status=1
    continue
  fi
  for dll in $dlls; do
    case "$allowed" in
      *" $dll "*) ;;
      api-ms-win-*) ;;
      *)
        echo "$program imports $dll, which is not part of Windows"
        status=1
        ;;
    esac
  done
  echo "$(basename "$program"): $(echo $dlls)"
done
exit $status

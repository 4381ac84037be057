#!/bin/sh
# usage: check_library.sh <module.so> <oldest glibc, e.g. 2.5>
# The module must load into any Python host on that glibc or later: it needs
# no glibc symbol version above it, no library beyond the C library, the
# dynamic loader and old glibc's homes of dlopen and pthread_once, and it
# exports the two init entries only. readelf reads any ELF machine.
set -eu
lib=$1
ceiling=GLIBC_$2
status=0
fail() { echo "FAIL: $*"; status=1; }

machine=$(readelf -h "$lib" | sed -n 's/^ *Machine: *//p')
case $machine in
  *X86-64*) loader=ld-linux-x86-64.so.2 ;;
  *AArch64*) loader=ld-linux-aarch64.so.1 ;;
  *) fail "no known dynamic loader for machine '$machine'"; loader= ;;
esac
echo "machine: $machine"

needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort)
echo "NEEDED:" $needed
echo "$needed" | grep -qx 'libc.so.6' || fail "libc.so.6 is not needed"
for n in $needed; do
  case $n in
    libc.so.6 | "$loader" | libdl.so.2 | libpthread.so.0) ;;
    *) fail "unexpected dependency $n" ;;
  esac
done

versions=$(readelf -V -W "$lib" | sed -n 's/.*Name: \(GLIBC_[0-9.]*\) .*/\1/p' | sort -uV)
echo "glibc versions:" $versions
[ -n "$versions" ] || fail "no glibc symbol version found"
for v in $versions; do
  if [ "$(printf '%s\n' "$v" "$ceiling" | sort -V | tail -n 1)" != "$ceiling" ]; then
    fail "needs $v:" $(readelf --dyn-syms -W "$lib" | awk -v v="@$v" 'index($8, v) {print $8}')
  fi
done

exported=$(readelf --dyn-syms -W "$lib" | awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && $5 != "LOCAL" {sub(/@.*/, "", $8); print $8}' | sort)
echo "exported:" $exported
[ "$exported" = "$(printf '%s\n' PyInit_pyvaskor initpyvaskor | sort)" ] ||
  fail "expected exactly PyInit_pyvaskor and initpyvaskor"

[ $status -eq 0 ] && echo "library shape ok"
exit $status

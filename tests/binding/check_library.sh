#!/bin/sh
# usage: check_library.sh <module.so>
# The module must load into any Python host: its only NEEDED entries are the
# C library and the dynamic loader, and it exports the two init entries only.
set -eu
lib=$1
status=0

needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort)
echo "NEEDED:"
echo "$needed" | sed 's/^/  /'
echo "$needed" | grep -qx 'libc.so.6' || { echo "FAIL: libc.so.6 is not needed"; status=1; }
for n in $needed; do
  case $n in
    libc.so.6 | ld-linux-x86-64.so.2) ;;
    *) echo "FAIL: unexpected dependency $n"; status=1 ;;
  esac
done

exported=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort)
echo "exported:"
echo "$exported" | sed 's/^/  /'
expected=$(printf '%s\n' PyInit_pyvaskor initpyvaskor | sort)
if [ "$exported" != "$expected" ]; then
  echo "FAIL: expected exactly PyInit_pyvaskor and initpyvaskor"
  status=1
fi

[ $status -eq 0 ] && echo "library shape ok"
exit $status

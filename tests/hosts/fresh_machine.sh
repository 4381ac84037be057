#!/usr/bin/env bash
# A new user's first try: a fresh Debian 12 (minbase) with only the packages
# the README names, a clone of this checkout's branch, `make demo` and
# `make test`. A manual trial, not part of CI; as root.
#
# usage: tests/hosts/fresh_machine.sh [WORK_DIR]   (default: build-fresh)
set -euo pipefail
src=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
work=$(realpath -m "${1:-$src/build-fresh}")
root=$work/bookworm
# What the README's Tests section has a user install, read from it.
packages=$(python3 - "$src/README.md" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
tests = text[text.index("\n## Tests\n"):]
line = re.search(r"apt-get install ((?:[^\n]*\\\n)*[^\n]*)", tests).group(1)
print(",".join(line.replace("\\\n", " ").split()))
PY
)

mkdir -p "$work"
rm -rf --one-file-system "$root"
time debootstrap --variant=minbase --include=$packages bookworm "$root" http://deb.debian.org/debian \
  > "$work/debootstrap.log" 2>&1 || { tail -n 20 "$work/debootstrap.log"; exit 1; }
git clone -q --branch "$(git -C "$src" branch --show-current)" "$src" "$root/root/pyvaskor"

mount -t proc proc "$root/proc"
trap 'umount -l "$root/dev/shm" "$root/dev" 2>/dev/null; umount -l "$root/proc"' EXIT
mount --bind /dev "$root/dev"
mount -o remount,bind,ro "$root/dev"
# A machine's own /dev/shm is writable (multiprocessing's locks live there,
# so Dask's workers need it); this one is the chroot's, not the machine's.
mount -t tmpfs -o size=256m,mode=1777 shm "$root/dev/shm"

chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  sh -c 'cd /root/pyvaskor && make demo JOBS=2 && make test JOBS=2'

#!/bin/sh
# usage: sysroot.sh <dir>
# Debian's arm64 python3.11 (bookworm) and python2.7 (bullseye) with the
# libraries they need, unpacked (never installed) into <dir>/root, and one
# wrapper per interpreter in <dir>/bin that runs it under qemu-aarch64.
# Packages come through apt with a configuration of its own, so the build
# machine's package setup is left alone. Kept while the package list is the
# same: a second run only writes the wrappers.
set -eu
dir=$(mkdir -p "$1" && cd "$1" && pwd)
packages="python3.11 python2.7"
root=$dir/root
stamp=$root/.packages
qemu=$(command -v qemu-aarch64) || { echo "qemu-aarch64 not found (Debian: qemu-user)" >&2; exit 1; }

if [ "$(cat "$stamp" 2>/dev/null)" != "$packages" ]; then
  rm -rf "$dir/apt" "$root"
  mkdir -p "$dir/apt/etc/preferences.d" "$dir/apt/etc/apt.conf.d" "$dir/apt/state/lists/partial" \
           "$dir/apt/cache/archives/partial"
  : >"$dir/apt/state/status"
  keys=/usr/share/keyrings/debian-archive-keyring.gpg
  for suite in bookworm bullseye; do
    echo "deb [signed-by=$keys] http://deb.debian.org/debian $suite main"
  done >"$dir/apt/etc/sources.list"
  # An empty package database: apt fetches the whole closure of the
  # interpreters' dependencies.
  cat >"$dir/apt/apt.conf" <<CONF
Dir::Etc "$dir/apt/etc/";
Dir::State "$dir/apt/state/";
Dir::State::status "$dir/apt/state/status";
Dir::Cache "$dir/apt/cache/";
APT::Architecture "arm64";
APT::Architectures { "arm64"; };
APT::Install-Recommends "false";
Acquire::Languages "none";
CONF
  export APT_CONFIG="$dir/apt/apt.conf"
  apt-get -qq update
  # shellcheck disable=SC2086
  apt-get -qq -y --download-only install $packages >/dev/null
  mkdir -p "$root"
  for deb in "$dir"/apt/cache/archives/*.deb; do
    dpkg-deb -x "$deb" "$root"
  done
  # Empty package folders in the sysroot hide the build machine's, which
  # qemu would otherwise show the interpreter.
  for d in usr/lib/python3/dist-packages usr/local/lib/python3.11/dist-packages \
           usr/lib/python2.7/dist-packages usr/local/lib/python2.7/dist-packages \
           usr/local/lib/python2.7/site-packages; do
    mkdir -p "$root/$d"
  done
  rm -rf "$dir/apt/cache" "$dir/apt/state/lists"
  echo "$packages" >"$stamp"
fi

# The wrapper stands as the interpreter's own path (argv[0]), so that a
# test starting sys.executable starts the emulator again. A guest killed by
# a signal makes qemu add a line of its own to standard error; the wrapper
# drops it and keeps the process (and so its exit by that signal) as it is.
mkdir -p "$dir/bin"
for python in python3.11 python2.7; do
  cat >"$dir/bin/$python" <<WRAP
#!/bin/bash
exec 2> >(exec sed -u '/^qemu: uncaught target signal [0-9]* (.*) - core dumped$/d' >&2)
VASKOR_EMULATOR=qemu-aarch64 PYTHONNOUSERSITE=1 exec $qemu -L $root -0 "\$0" $root/usr/bin/$python "\$@"
WRAP
  chmod +x "$dir/bin/$python"
done

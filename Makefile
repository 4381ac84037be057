# Thin front over CMake. Every target works from a fresh clone.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=
# Configure with a preset of CMakePresets.json into a chosen folder:
# $(call configure,PRESET,DIR). `cmake -S . -B DIR` works without presets.
configure = cmake --preset $(1) -S . -B $(2) $(CMAKE_FLAGS)

.PHONY: all build test demo wheel clean

all: build

build:
	$(call configure,release,$(BUILD))
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(JOBS)

# The Python demo with the machine's python3, then the C++ demo.
demo:
	$(call configure,release,$(BUILD))
	cmake --build $(BUILD) -j $(JOBS) --target pyvaskor vaskor_demo
	PYTHONPATH=$(abspath $(BUILD)) python3 examples/demo.py
	$(BUILD)/examples/vaskor_demo

# One wheel for Python 2.7 and every Python 3, into dist/.
wheel:
	$(call configure,release,$(BUILD))
	cmake --build $(BUILD) -j $(JOBS) --target pyvaskor h5vaskor
	python3 packaging/build_wheel.py --module $(BUILD)/pyvaskor.so --out-dir dist

# The source archive pip builds that same wheel from, into dist/
# (setuptools: Debian's python3-setuptools).
.PHONY: sdist help
sdist:
	python3 setup.py -q sdist --dist-dir dist

# The Python suite with the one built module on Debian's interpreters
# (Python 2.7 to 3.15, debug builds, PyPy; chroots made once with debootstrap,
# as root, kept in HOSTS_WORK), this machine's python3 and pyenv's.
# HOSTS=sid,*/pypy* runs only the hosts matching one of the patterns.
HOSTS_WORK ?= build-hosts
HOSTS ?=
.PHONY: test-hosts hosts-chroots

test-hosts:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target pyvaskor _vaskor_argcheck h5vaskor
	python3 tests/hosts/run_hosts.py --build-dir $(BUILD) --source-dir . \
	  --work $(HOSTS_WORK) --hosts '$(HOSTS)'

# Only the chroots test-hosts needs: mostly downloads, so CI makes them
# beside the CPU-bound tests.
hosts-chroots:
	python3 tests/hosts/run_hosts.py --build-dir $(BUILD) --source-dir . \
	  --work $(HOSTS_WORK) --hosts '$(HOSTS)' --chroots-only

# Benchmarks (figures only; Debian libbenchmark-dev for the native one). The
# Python one uses Debian's python3 when it has numpy (python3-numpy);
# frame_bench reads the columns bench/pybench/columns.py writes with it.
BENCH_BUILD ?= build-bench
BENCH_ARGS ?=
BENCH_PY ?= $(shell /usr/bin/python3 -c 'import numpy' >/dev/null 2>&1 && echo /usr/bin/python3 || echo python3)
.PHONY: bench-native bench-python bench-hdf5 bench-zarr3

bench-native:
	$(call configure,bench,$(BENCH_BUILD))
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target native_bench into_bench frame_bench
	mkdir -p bench/results
	$(BENCH_BUILD)/bench/native_bench --md=bench/results/native_bench.md $(filter-out --row=%,$(BENCH_ARGS))
	$(BENCH_BUILD)/bench/into_bench --md=bench/results/into_bench.md $(filter --quick --row=%,$(BENCH_ARGS))
	cd bench && /usr/bin/python3 -m pybench.columns --out $(abspath $(BENCH_BUILD))/columns $(filter --quick,$(BENCH_ARGS))
	$(BENCH_BUILD)/bench/frame_bench --columns=$(BENCH_BUILD)/columns $(filter --quick,$(BENCH_ARGS)) | tee bench/results/frame_bench.txt

bench-python:
	$(call configure,bench,$(BENCH_BUILD))
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target pyvaskor vaskor_c
	$(BENCH_PY) bench/python_bench.py --module-dir $(BENCH_BUILD) --out bench/results $(BENCH_ARGS)

# The HDF5 filter from h5py (registered by pyvaskor_hdf5) against gzip,
# Bitshuffle and Blosc (Debian's python3-h5py, python3-hdf5plugin,
# bitshuffle, hdf5-filter-plugin*).
bench-hdf5:
	$(call configure,bench,$(BENCH_BUILD))
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target h5vaskor
	/usr/bin/python3 bench/h5_bench.py --build-dir $(BENCH_BUILD) --out bench/results/h5_bench.md $(BENCH_ARGS)

# zarr 3 with two threads, pyvaskor against zarr's BloscCodec, in sid's
# chroot (made by hosts-chroots if missing, as root): zarr 3 is not in
# Debian 12.
bench-zarr3:
	$(call configure,bench,$(BENCH_BUILD))
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target pyvaskor
	python3 tests/hosts/run_hosts.py --build-dir $(BENCH_BUILD) --source-dir . \
	  --work $(HOSTS_WORK) --hosts 'sid/storage:*' --chroots-only
	python3 bench/zarr3_bench.py --module $(BENCH_BUILD)/pyvaskor.so \
	  --chroot $(HOSTS_WORK)/chroots/sid --out bench/results/zarr3_bench.md $(BENCH_ARGS)

# Sanitizers: everything built with ASan and UBSan (abort on error); the
# whole C++ suite with leak checking, then the Python suite on the newest
# Python 3 and Python 2.7 with the sanitizer runtimes preloaded.
SAN_BUILD ?= build-asan
.PHONY: test-sanitize fuzz

test-sanitize:
	$(call configure,sanitize,$(SAN_BUILD))
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)
	python3 tests/hardening/python_pair.py --sanitize --build-dir $(SAN_BUILD) --source-dir .

# libFuzzer (clang): each fuzz target for FUZZ_SECONDS; inputs that fail
# land in fuzz/regressions/, which the test suite replays.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

fuzz:
	$(call configure,fuzz,$(FUZZ_BUILD))
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_all
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# aarch64: cross-built with Debian's g++-aarch64-linux-gnu; ctest runs the
# C++ suite under qemu-aarch64 (qemu-user) and the Python suite on Debian's
# arm64 interpreters, unpacked into $(AARCH64_BUILD)/sysroot on first use.
AARCH64_BUILD ?= build-aarch64
.PHONY: test-aarch64

test-aarch64:
	$(call configure,aarch64,$(AARCH64_BUILD))
	cmake --build $(AARCH64_BUILD) -j $(JOBS)
	ctest --test-dir $(AARCH64_BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf --one-file-system $(HOSTS_WORK)
	rm -rf $(BUILD) build-* dist

help:
	@echo 'make build          (or plain make) the C++ library, pyvaskor.so, the examples; the tests when GoogleTest and Python 3 are there'
	@echo 'make test           build, then every test: C++, Python on each interpreter found, packaging'
	@echo 'make demo           the Python demo with python3, then the C++ demo'
	@echo 'make wheel          dist/pyvaskor-<version>-py2.py3-none-<manylinux tag>.whl'
	@echo 'make sdist          dist/pyvaskor-<version>.tar.gz, the sources pip builds that wheel from'
	@echo 'make bench-native   C++ codec benchmarks (Google Benchmark) into bench/results/'
	@echo 'make bench-python   the module against its Python peers into bench/results/'
	@echo 'make bench-hdf5     the HDF5 filter from h5py against gzip, Bitshuffle and Blosc into bench/results/'
	@echo 'make bench-zarr3    zarr 3 with two threads, pyvaskor against BloscCodec, in the sid chroot, into bench/results/'
	@echo 'make test-hosts     the Python suite on Debian chroots (2.7 to 3.15, debug builds, PyPy), as root; HOSTS=pattern,...'
	@echo 'make hosts-chroots  only the chroots test-hosts runs in (made or completed; CI makes them beside make test)'
	@echo 'make test-aarch64   cross-build for aarch64; C++ and Python suites under qemu-aarch64'
	@echo 'make test-sanitize  every test built with ASan and UBSan'
	@echo 'make fuzz           each libFuzzer target (clang) for FUZZ_SECONDS seconds'
	@echo 'make clean          remove build trees and dist/'
	@echo 'make help           this list'

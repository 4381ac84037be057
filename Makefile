# Thin front over CMake. Every target works from a fresh clone.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all build test demo wheel clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# One wheel for Python 2.7 and every Python 3, into dist/.
wheel:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target pyvaskor
	python3 packaging/build_wheel.py --module $(BUILD)/pyvaskor.so --out-dir dist

clean:
	rm -rf $(BUILD) build-* dist

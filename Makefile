# Set-up and everyday commands. `make test` is what CI runs.
SHELL := /bin/bash
PRESETS_TESTED := linux linux-asan win64
JOBS ?= $(shell nproc)
export WINEDEBUG ?= -all
export WINEPREFIX ?= $(CURDIR)/build/wineprefix

# Debian packages the build and the tests need.
DEB_PACKAGES := cmake ninja-build g++ googletest nlohmann-json3-dev libcli11-dev \
	g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 wine dosfstools mtools
# One command per package that tells whether it is there.
DEB_CHECKS := cmake ninja g++ x86_64-w64-mingw32-g++-posix wine mkfs.fat mcopy

.PHONY: all deps demo test windows build-% test-linux test-linux-asan test-win64 clean

all: build-linux

deps:
	@missing=0; \
	for c in $(DEB_CHECKS); do command -v $$c >/dev/null || missing=1; done; \
	for f in /usr/src/googletest/CMakeLists.txt /usr/include/nlohmann/json.hpp /usr/include/CLI/CLI.hpp; do \
	  [ -e $$f ] || missing=1; done; \
	if [ $$missing = 1 ]; then \
	  echo "Installing build dependencies..."; \
	  SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $(DEB_PACKAGES); \
	fi

# Kept between runs: make would otherwise delete it as an intermediate file.
.PRECIOUS: build/%/build.ninja
build/%/build.ninja: | deps
	cmake --preset $* >/dev/null

build-%: build/%/build.ninja
	cmake --build build/$* -j $(JOBS)

test-linux: build-linux
	ctest --test-dir build/linux --output-on-failure -j $(JOBS)

test-linux-asan: build-linux-asan
	ctest --test-dir build/linux-asan --output-on-failure -j $(JOBS)

# The Windows tests run under Wine; the prefix is made once, headless.
$(WINEPREFIX)/system.reg: | deps
	mkdir -p $(WINEPREFIX) && wineboot --init >/dev/null 2>&1; wineserver -w || true

test-win64: build-win64 $(WINEPREFIX)/system.reg
	ctest --test-dir build/win64 --output-on-failure -j $(JOBS)

test: deps
	$(MAKE) test-linux test-linux-asan test-win64

windows: build-win64
	@echo "Windows binaries are in build/win64/bin/"

demo: build-linux
	./build/linux/bin/cv50 list
	./build/linux/bin/cv50 wait --port 4-2 --kind Loader --timeout 10

clean:
	rm -rf build

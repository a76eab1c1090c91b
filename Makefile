# Set-up and everyday commands. `make test` is what CI runs.
SHELL := /bin/bash
PRESETS_TESTED := linux linux-asan linux-tsan win64 win32
JOBS ?= $(shell nproc)
export WINEDEBUG ?= -all
export WINEPREFIX ?= $(CURDIR)/build/wineprefix

# Debian packages the build and the tests need.
DEB_PACKAGES := cmake ninja-build g++ googletest nlohmann-json3-dev libcli11-dev \
	g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 wine dosfstools mtools \
	xvfb x11-apps imagemagick fonts-wqy-microhei fonts-wine \
	g++-mingw-w64-i686-posix mingw-w64-i686-dev
# One command per package that tells whether it is there.
DEB_CHECKS := cmake ninja g++ x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix wine \
	mkfs.fat mcopy Xvfb xwd
# And files, for the packages without a command (ImageMagick's own convert, the fonts).
DEB_FILES := /usr/src/googletest/CMakeLists.txt /usr/include/nlohmann/json.hpp \
	/usr/include/CLI/CLI.hpp /usr/bin/convert /usr/share/fonts/truetype/wqy/wqy-microhei.ttc \
	/usr/share/wine/fonts/marlett.ttf

.PHONY: all deps demo test windows build-% test-linux test-linux-asan test-linux-tsan test-win64 \
	test-win32 fuzz clean \
	wineprefix screenshots

all: build-linux

deps:
	@missing=0; \
	for c in $(DEB_CHECKS); do command -v $$c >/dev/null || missing=1; done; \
	for f in $(DEB_FILES); do [ -e $$f ] || missing=1; done; \
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

# Thread sanitizer: the worker threads of the upgrade flows and the format workers.
test-linux-tsan: build-linux-tsan
	ctest --test-dir build/linux-tsan --output-on-failure -j $(JOBS)

# The Windows tests run under Wine; the prefix is made once, headless, and serially: GUI
# tests each run in a copy of it. It gets the settings for the headless X server (font
# replacements that draw Chinese texts, frames drawn by Wine) and Wine's Marlett font for
# the caption buttons, which this Wine does not find among its own fonts.
$(WINEPREFIX)/system.reg: tools/gui/wine_prefix.reg | deps
	mkdir -p $(WINEPREFIX) && WINEDLLOVERRIDES=mscoree,mshtml= wineboot --init >/dev/null 2>&1; \
	  wineserver -w || true
	wine regedit /S tools/gui/wine_prefix.reg >/dev/null 2>&1; wineserver -w
	cp /usr/share/wine/fonts/marlett.ttf $(WINEPREFIX)/drive_c/windows/Fonts/
	touch $@

wineprefix: $(WINEPREFIX)/system.reg

test-win64: build-win64 $(WINEPREFIX)/system.reg
	ctest --test-dir build/win64 --output-on-failure -j $(JOBS)

# The 32-bit Windows build: every deliverable (the dist folders), and the test programs of
# what differs with the pointer size (the pass-through request, the bounded device transfers,
# the wire protocol, the exported names). They are built, not run: running 32-bit programs
# under Wine needs its 32-bit side, and the kernel of the machines this runs on cannot start
# 32-bit programs at all (installing Wine's 32-bit side there even stops Wine from starting
# 64-bit ones). Where a machine can, `ctest --test-dir build/win32` runs them.
WIN32_TESTS := os_tests win32_device_io_tests cvusbcomm_tests cvusbcomm_dll_tests \
	dll_export_names_tests dll_host_tests
test-win32: build/win32/build.ninja
	cmake --build build/win32 -j $(JOBS) --target dist $(WIN32_TESTS)

test: deps
	$(MAKE) test-linux test-linux-asan test-linux-tsan test-win64 test-win32

windows: build-win64
	@echo "Windows binaries are in build/win64/bin/, laid out for installing in build/win64/dist/"

# Pictures of the programs' windows, each taken under its own Xvfb and Wine prefix copy.
# One line per shot: PROGRAM "WINDOW TITLE" OUTPUT.png [VAR=VALUE ...] [-- cv50ui COMMANDS]
# (the commands run on the window before the shot, e.g. wait-text 1001 Ready).
# The programs' windows as their GUI tests leave them, for the README.
screenshots: build-win64 $(WINEPREFIX)/system.reg
	mkdir -p docs/screenshots
	CV50_SCREENSHOTS=$(CURDIR)/docs/screenshots ctest --test-dir build/win64 -L gui -j $(JOBS) \
	  --output-on-failure

DEMO := build/demo
CV50 := ./build/linux/bin/cv50

demo: build-linux
	$(CV50) list
	@rm -rf $(DEMO) && mkdir -p $(DEMO)/firmware/Music $(DEMO)/Demo/Music $(DEMO)/log
	$(CV50) loader sample $(DEMO)/pieces
	$(CV50) loader pack --pieces $(DEMO)/pieces --version 1.23 --date 2026-03-07 -o $(DEMO)/CVBOOT.BIN
	@printf 'system file\n' > $(DEMO)/firmware/system.cfg
	$(CV50) image pack --loader $(DEMO)/CVBOOT.BIN --folder $(DEMO)/firmware \
	  --system-version 1.1 --system-disk 64 --config-disk 16 -o $(DEMO)/old.img
	$(CV50) image pack --loader $(DEMO)/CVBOOT.BIN --folder $(DEMO)/firmware \
	  --system-version 1.2 --system-disk 64 --config-disk 16 -o $(DEMO)/firmware.img
	$(CV50) image info $(DEMO)/firmware.img
	@cp README.md "$(DEMO)/Demo/Read Me.txt" && printf 'demo track\n' > $(DEMO)/Demo/Music/track01.mp3
	@# The scenario says in which mode the player is when a run starts; its flash is kept
	@# in the state folder between runs.
	@for mode in maskrom msc; do \
	  printf '{"speed": 20, "state": "%s", "controllers": [{"ports": [{"player": {"mode": "%s"}}]}]}\n' \
	    "$(CURDIR)/$(DEMO)/state" $$mode > $(DEMO)/$$mode.json; done
	@echo "--- a blank simulated player gets the old firmware and becomes a disk"
	$(CV50) --sim $(DEMO)/maskrom.json upgrade $(DEMO)/old.img --format --yes
	$(CV50) --sim $(DEMO)/msc.json version --port 1
	@echo "--- the disk is upgraded end to end and gets the Demo folder"
	$(CV50) --sim $(DEMO)/msc.json upgrade $(DEMO)/firmware.img --demo $(DEMO)/Demo --label DEMO \
	  --yes --log $(DEMO)/log
	$(CV50) --sim $(DEMO)/msc.json version --port 1
	@echo "--- the log"
	@cat $(DEMO)/log/Log*.txt
	@echo "--- the player's disk"
	$(CV50) --sim $(DEMO)/msc.json sim-volume --port 1 $(DEMO)/volume.img
	mdir -/ -i $(DEMO)/volume.img ::

# The fuzz targets (libFuzzer, clang), one per input a user or a device hands in, each run
# for FUZZ_SECONDS one after the other. Not part of `make test`; it installs clang and its
# fuzzer runtime when they are missing. TARGET:MAX_LEN, the longest input tried.
FUZZ_SECONDS ?= 60
FUZZ := build/fuzz
FUZZ_TARGETS := fuzz_image:131072 fuzz_boot_head:140000 fuzz_profile_file:65536 \
	fuzz_language_file:65536 fuzz_scenario:65536 fuzz_loader_wire:262144
fuzz: build-linux
	@if ! command -v clang++-14 >/dev/null || \
	    ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then \
	  echo "Installing clang and libFuzzer..."; \
	  SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends clang-14 libclang-rt-14-dev; \
	fi
	cmake --preset fuzz >/dev/null
	cmake --build $(FUZZ) --target $(foreach t,$(FUZZ_TARGETS),$(firstword $(subst :, ,$(t)))) \
	  fuzz_seeds -j $(JOBS)
	@rm -rf $(FUZZ)/seeds && mkdir -p $(FUZZ)/seeds/pieces $(FUZZ)/seeds/fuzz_image \
	  $(FUZZ)/seeds/fuzz_boot_head $(FUZZ)/seeds/fuzz_profile_file $(FUZZ)/seeds/fuzz_language_file
	@for p in data prog prog2nd FlashBoot; do printf '%s piece' $$p > $(FUZZ)/seeds/pieces/$$p.bin; done
	@$(CV50) loader pack --pieces $(FUZZ)/seeds/pieces -o $(FUZZ)/seeds/fuzz_boot_head/CVBOOT.BIN >/dev/null
	@$(CV50) image pack --loader $(FUZZ)/seeds/fuzz_boot_head/CVBOOT.BIN --system-disk 8 \
	  -o $(FUZZ)/seeds/fuzz_image/fat12.img >/dev/null
	@mkfs.fat -C $(FUZZ)/seeds/fuzz_image/mkfs12.img 64 >/dev/null
	@rm -rf $(FUZZ)/seeds/pieces
	@# The settings and language files the programs ship, as in the tree (UTF-8) and as shipped
	@# (UTF-16 with a byte-order mark).
	@for f in apps/*/setting.sample.ini apps/*/language/*.ini build/linux/samples/*/*.ini \
	    build/linux/language/*/*.ini; do \
	  name=$$(echo $$f | tr / _); \
	  cp $$f $(FUZZ)/seeds/fuzz_profile_file/$$name; \
	  case $$f in *language*) cp $$f $(FUZZ)/seeds/fuzz_language_file/$$name;; esac; \
	done
	@$(FUZZ)/bin/fuzz_seeds $(FUZZ)/seeds
	tools/fuzz/run_targets.sh $(FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf build

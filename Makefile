# make          build the engine and the builder into build/bin
# make test     run every test (the engine's under Wine, on a virtual display)
# make demo     the main job: build the demo and run it under Wine
# make install PREFIX=DIR  install palisade, its engine, the docs and the CMake package (default /usr/local)
# make fuzz SECONDS=N  build the fuzz targets (clang, sanitizers) in build/fuzz and run each for N seconds
# make screenshots  every page in every style and the background window in each picture fit, into docs/screenshots
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
MAKEFLAGS += --no-print-directory
NATIVE := build/native
MINGW := build/mingw
MINGW64 := build/mingw64
# 32 where this machine's Wine runs 32-bit Windows programs, else 64: the
# engine that the tests, the demo and the benchmark run (tools/windows-bits).
WINDOWS_BITS := $(shell tools/windows-bits)
ifeq ($(filter 32 64,$(WINDOWS_BITS)),)
$(error tools/windows-bits could not tell which Windows programs this machine's Wine runs)
endif
export PALISADE_WINDOWS_BITS := $(WINDOWS_BITS)
# The demo, the benchmark and the screenshots build their installers on
# the engine this machine runs.
ifeq ($(WINDOWS_BITS),64)
export PALISADE_ENGINE := x64
endif

SECONDS ?= 60
# What `make test` gives each fuzz target, starting from the seeds alone:
# enough to read every seed and try some changes to them, so that the
# targets stay buildable and the readers clean on the layouts they know.
TEST_FUZZ_SECONDS := 2

.PHONY: all bootstrap engine native test fuzz demo screenshots bench install clean

all: engine native

bootstrap:
	@tools/bootstrap

# Both engines are built everywhere. The Windows-side test programs are
# built in full for the engine this machine runs; the other engine gets its
# library tests only, which the suite runs where it can.
ifeq ($(WINDOWS_BITS),32)
MINGW_TARGETS :=
MINGW64_TARGETS := --target palisade-engine engine_tests
else
MINGW_TARGETS := --target palisade-engine engine_tests
MINGW64_TARGETS :=
endif

engine: bootstrap
	@cmake -S . -B $(MINGW) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	@cmake --build $(MINGW) -j $(JOBS) $(MINGW_TARGETS)
	@cmake -S . -B $(MINGW64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	@cmake --build $(MINGW64) -j $(JOBS) $(MINGW64_TARGETS)

native: bootstrap
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPALISADE_WINDOWS_BITS=$(WINDOWS_BITS) >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

test: all
	@tools/wine-prefix templates
	@echo "make test: this machine runs $(WINDOWS_BITS)-bit Windows programs; the suite runs the $(WINDOWS_BITS)-bit engine"
	@cd $(NATIVE) && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j $(JOBS); \
	  status=$$?; ../../tools/tests-not-run Testing/Temporary/LastTest.log; exit $$status
	@JOBS=$(JOBS) tools/fuzz --seeds-only $(TEST_FUZZ_SECONDS)

fuzz: all
	@JOBS=$(JOBS) tools/fuzz $(SECONDS)

demo: all
	@tools/demo

screenshots: all
	@tools/bootstrap screenshots
	@tools/screenshots-background
	@tools/screenshots-pages

bench: all
	@bench/builder_vs_nsis $(BENCH_ARGS)

# DESTDIR=DIR stages the installation below DIR, as packagers do.
install: all
	@cmake --install $(NATIVE) --prefix "$(PREFIX)"

clean:
	rm -rf $(NATIVE) $(MINGW) $(MINGW64) build/fuzz build/bin

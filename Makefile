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

SECONDS ?= 60
# What `make test` gives each fuzz target, starting from the seeds alone:
# enough to read every seed and try some changes to them, so that the
# targets stay buildable and the readers clean on the layouts they know.
TEST_FUZZ_SECONDS := 2

.PHONY: all bootstrap engine native test fuzz demo screenshots bench install clean

all: engine native

bootstrap:
	@tools/bootstrap

engine: bootstrap
	@cmake -S . -B $(MINGW) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	@cmake --build $(MINGW) -j $(JOBS)

native: bootstrap
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

test: all
	@tools/wine-prefix templates
	@cd $(NATIVE) && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j $(JOBS)
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
	rm -rf $(NATIVE) $(MINGW) build/fuzz build/bin

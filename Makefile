# Thin targets over CMake.
BUILD ?= build
JOBS ?= 2
MAKEFLAGS += --no-print-directory

.PHONY: all setup build play play-window test bench clean fuzz sanitize web play-web

all: build

setup:
	@bash scripts/setup

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Plays the bundled demo game on the terminal.
play: build
	@cd games && ../$(BUILD)/ttyrunner demo

# Plays the demo game in the window.
play-window: build
	@cd games && ../$(BUILD)/gfxrunner demo

# The browser tests play the web build, so it is built (and its tools set
# up) first.
test: build web
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Benchmarks against gzip, zcat and libpng, built with optimisation in a
# folder of their own; prints the table.
BENCH_BUILD ?= build-bench
bench: setup web
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DTARNWICK_TESTS=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target bench_programs
	@python3 bench/run_bench.py --build $(BENCH_BUILD)

# Every fuzz target (clang, libFuzzer, ASan + UBSan) for FUZZ_SECONDS
# seconds each, from the committed seed corpus; fails on any finding.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: setup
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run_fuzzers.sh $(FUZZ_BUILD)

# The whole test suite built with ASan + UBSan (no recovery), then the demo
# walkthrough under valgrind with the plain build.
SANITIZE_BUILD ?= build-sanitize
sanitize: build
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)
	@bash fuzz/valgrind_walkthrough.sh $(BUILD)

# The core and the web front end compiled to WebAssembly with Emscripten (zlib
# from Debian's source), the page and the compiled demo, in build-web/.
WEB_BUILD ?= build-web
WEB_PORT ?= 8000
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs
web: setup
	@bash scripts/setup web $(WEB_BUILD)
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target ttyrunner
	@bash scripts/zlib-source $(abspath $(WEB_BUILD))/zlib-src
	@$(EMSCRIPTEN_ENV) emcmake cmake -S frontend/web -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DZLIB_SOURCE=$(abspath $(WEB_BUILD))/zlib-src -DTTYRUNNER=$(abspath $(BUILD))/ttyrunner >/dev/null
	@$(EMSCRIPTEN_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)

# Serves build-web/ on this machine and plays the demo there in a browser.
play-web: web
	@echo "Play the demo at http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C stops the server)"
	@python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(WEB_BUILD)

clean:
	rm -rf $(BUILD)

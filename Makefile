# Thin targets over CMake.
BUILD ?= build
JOBS ?= 2
MAKEFLAGS += --no-print-directory

.PHONY: all setup build play play-window test bench clean

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

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Benchmarks against gzip, zcat and libpng, built with optimisation in a
# folder of their own; prints the table.
BENCH_BUILD ?= build-bench
bench: setup
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DTARNWICK_TESTS=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target bench_programs
	@python3 bench/run_bench.py --build $(BENCH_BUILD)

clean:
	rm -rf $(BUILD)

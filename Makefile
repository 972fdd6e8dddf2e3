# Thin targets over CMake.
BUILD ?= build
JOBS ?= 2
MAKEFLAGS += --no-print-directory

.PHONY: all setup build play play-window test clean

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

clean:
	rm -rf $(BUILD)

# PackMon - battery-pack cell-voltage logger
# SPDX-License-Identifier: GPL-3.0-or-later
#
#   make          build (Release)
#   make run      install what is missing, build and start PackMon beside a simulated monitor
#   make test     install what is missing, build with warnings as errors, run every test
#   make bench    install what is missing, build and run the benchmarks
#   make package  install what is missing, build the Debian package into build/

BUILD_DIR ?= build
CMAKE_FLAGS ?=
CONFIGURE = cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPACKMON_WERROR=ON $(CMAKE_FLAGS)

.PHONY: all build deps run test bench package clean

all: build

deps:
	@sh scripts/install-deps.sh

build:
	$(CONFIGURE)
	cmake --build $(BUILD_DIR)

run: deps
	@if [ -z "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then sh scripts/install-deps.sh headless; fi
	$(CONFIGURE)
	cmake --build $(BUILD_DIR) --target PackMon packmon-sim
	sh scripts/run-with-simulator.sh $(BUILD_DIR)

test: deps
	$(CONFIGURE)
	cmake --build $(BUILD_DIR)
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j2

bench: deps
	$(CONFIGURE)
	cmake --build $(BUILD_DIR) --target packmon_benchmarks
	cmake --build $(BUILD_DIR) --target run_benchmarks

package: deps
	$(CONFIGURE)
	cmake --build $(BUILD_DIR)
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)

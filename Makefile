# PackMon - battery-pack cell-voltage logger
# SPDX-License-Identifier: GPL-3.0-or-later
#
#   make          build (Release)
#   make run      install what is missing, build and start PackMon beside a simulated monitor
#   make test     install what is missing, build with warnings as errors, run every test
#   make bench    install what is missing, build and run the benchmarks
#   make soak     three million records at 2,500 a second into the window under Xvfb (about 20 minutes)
#   make package  install what is missing, build the Debian package into build/
#   make test-asan  every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer
#   make test-tsan  the acquisition, journal and publishing tests built with ThreadSanitizer
#   make fuzz     build the libFuzzer targets with clang and run each for FUZZ_SECONDS (60)
#   make format   rewrite the C++ sources as .clang-format says (make test checks them)

BUILD_DIR ?= build
CMAKE_FLAGS ?=
CONFIGURE = cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPACKMON_WERROR=ON $(CMAKE_FLAGS)

.PHONY: all build deps run test test-asan test-tsan fuzz bench soak package format clean

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

soak: deps
	$(CONFIGURE)
	cmake --build $(BUILD_DIR) --target run_soak

ASAN_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60

# Leak checking is off: Qt keeps process-lifetime allocations it never frees.
test-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPACKMON_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
	cmake --build $(ASAN_DIR)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
	  ctest --test-dir $(ASAN_DIR) --output-on-failure -j2 -E Package

TSAN_DIR ?= build-tsan

test-tsan: deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPACKMON_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer"
	cmake --build $(TSAN_DIR) --target packmon_acquisition_tests packmon_journal_tests packmon_publish_tests
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan-suppressions.txt" \
	  $(TSAN_DIR)/tests/packmon_acquisition_tests
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan-suppressions.txt" \
	  $(TSAN_DIR)/tests/packmon_journal_tests
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan-suppressions.txt" \
	  $(TSAN_DIR)/tests/packmon_publish_tests

fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DPACKMON_FUZZ=ON -DPACKMON_BUILD_TESTS=OFF -DPACKMON_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) --target RecordParserFuzz GraphFileFuzz SettingsFuzz
	sh scripts/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

package: deps
	$(CONFIGURE)
	cmake --build $(BUILD_DIR)
	cd $(BUILD_DIR) && cpack -G DEB

format:
	sh scripts/check-format.sh . fix

clean:
	rm -rf $(BUILD_DIR)

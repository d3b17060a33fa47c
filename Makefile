# Quick start: `make run` builds and starts Korvex, `make test` builds and runs every test: the suite, the
# same suite under AddressSanitizer and UndefinedBehaviorSanitizer, and every fuzz target over its corpus.
# Both install missing Debian packages first (with sudo when not root). `make check` runs the suite alone.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= 2
PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev qt6-svg-dev \
            libjpeg62-turbo-dev xvfb xauth fonts-wine fonts-liberation2 binutils-mingw-w64-i686 clang-format \
            clang libclang-rt-14-dev libnanoflann-dev libfontconfig-dev help2man dpkg-dev desktop-file-utils
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build run check test test-sanitize test-arm64 bench format-check clean check-linuxcnc install package \
        test-package

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Starts the window. Without a display, run it in a virtual X server:
#   xvfb-run -a -s "-screen 0 1280x1024x24" make run
run: build
	@if [ -x $(BUILD_DIR)/app/korvex ]; then \
	  $(BUILD_DIR)/app/korvex; \
	else \
	  $(BUILD_DIR)/app/korvex-cli -o - examples/board.drl; \
	fi

check: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

test: format-check check test-sanitize fuzz-regression

# `make install` installs into PREFIX (default /usr/local; DESTDIR works as usual). `make package` builds
# the .deb in $(BUILD_DIR); `make test-package` checks its contents and dependencies, installs it with dpkg
# into a temporary root and runs korvex-cli from there (about a minute after a build; not part of `make test`).
PREFIX ?= /usr/local

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

package: build
	cd $(BUILD_DIR) && cpack -G DEB

test-package: package
	tools/test-package.sh $(BUILD_DIR)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS)

# Every real drill file converted for LinuxCNC and run through LinuxCNC's interpreter rs274 (unpacked from
# Debian's linuxcnc-uspace into RS274_ROOT, default /work/rs274/root, on first use); GRBL programs are checked
# for codes GRBL 1.1 refuses. Not part of `make test`: it downloads the interpreter and needs the real files.
check-linuxcnc: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target korvex-cli
	tools/rs274-check.sh $(BUILD_DIR)/app/korvex-cli

# One run: the conversion of 100k and 1M hole files against cat and the file layer, korvex-cli's start-up, and
# the window's start-up to its first expose against an empty Qt window (offscreen unless DISPLAY is set).
bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_BENCH=ON -DKORVEX_BUILD_TESTS=OFF \
	  -DKORVEX_BUILD_GUI=ON
	cmake --build build-bench -j $(JOBS) --target korvex-bench korvex-order-bench korvex-startup-bench
	build-bench/bench/korvex-bench
	build-bench/bench/korvex-order-bench
	build-bench/bench/korvex-startup-bench

format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) build-bench $(ARM64_DIR)

# The engine, korvex-cli and their tests cross-built for arm64 and run under qemu-aarch64: there long double
# is not the x87 format, so this proves the software extended format against the golden files. Not part of
# `make test` (it takes several minutes on two cores).
ARM64_DIR ?= build-arm64
ARM64_PACKAGES := cmake ninja-build libgtest-dev libnanoflann-dev qemu-user g++-aarch64-linux-gnu
ARM64_TESTS := korvex_conversion_tests korvex_excellon_tests korvex_golden_tests korvex_cli_tests
ARM64_TOOLCHAIN := -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/aarch64-toolchain.cmake
.PHONY: deps-arm64

deps-arm64:
	@missing=$$(for p in $(ARM64_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

test-arm64: deps-arm64
	cmake -S /usr/src/googletest -B $(ARM64_DIR)/googletest $(ARM64_TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release \
	  -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX=$(CURDIR)/$(ARM64_DIR)/googletest/install
	cmake --build $(ARM64_DIR)/googletest -j $(JOBS) --target install
	@# nanoflann is one header: staged beside the build with its package files, so the cross build does not
	@# take the host's /usr/include for it.
	mkdir -p $(ARM64_DIR)/nanoflann/include $(ARM64_DIR)/nanoflann/share/nanoflann
	cp /usr/include/nanoflann.hpp $(ARM64_DIR)/nanoflann/include/
	cp -r /usr/share/nanoflann/cmake $(ARM64_DIR)/nanoflann/share/nanoflann/
	cmake -S . -B $(ARM64_DIR) $(ARM64_TOOLCHAIN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_WITH_QT=OFF \
	  -DGTest_DIR=$(CURDIR)/$(ARM64_DIR)/googletest/install/lib/cmake/GTest \
	  -Dnanoflann_DIR=$(CURDIR)/$(ARM64_DIR)/nanoflann/share/nanoflann/cmake
	cmake --build $(ARM64_DIR) -j $(JOBS) --target korvex-cli $(ARM64_TESTS)
	cd $(ARM64_DIR) && ctest --output-on-failure -j $(JOBS) -E _NOT_BUILT

# Fuzzing with clang and libFuzzer (fuzz/). `make fuzz-regression` replays every target's corpus once;
# `make fuzz` then runs each target for FUZZ_SECONDS, finds in $(FUZZ_DIR)/corpus, crashes in $(FUZZ_DIR)/artifacts.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 10
FUZZ_TARGETS := conversion_run real_parsers integers real_to_str ini_file version_block executable_image \
                gcode_reader fast_paths extended80 drill_order program_picture
.PHONY: fuzz fuzz-build fuzz-regression

fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DKORVEX_BUILD_FUZZ=ON -DKORVEX_BUILD_GUI=OFF -DKORVEX_BUILD_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))

fuzz-regression: fuzz-build
	@for t in $(FUZZ_TARGETS); do $(FUZZ_DIR)/fuzz/fuzz_$$t -runs=0 fuzz/corpus/$$t > $(FUZZ_DIR)/$$t.log 2>&1; \
	  status=$$?; echo "$$t: $$(tail -n 1 $(FUZZ_DIR)/$$t.log)"; \
	  if [ $$status -ne 0 ]; then cat $(FUZZ_DIR)/$$t.log; exit 1; fi; done

fuzz: fuzz-regression
	@mkdir -p $(FUZZ_DIR)/artifacts
	@for t in $(FUZZ_TARGETS); do mkdir -p $(FUZZ_DIR)/corpus/$$t; echo "== $$t"; \
	  $(FUZZ_DIR)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/artifacts/$$t- $(FUZZ_DIR)/corpus/$$t fuzz/corpus/$$t > $(FUZZ_DIR)/$$t.log 2>&1; \
	  status=$$?; grep -E 'check failed|ERROR|SUMMARY|number_of_executed_units' $(FUZZ_DIR)/$$t.log; \
	  if [ $$status -ne 0 ]; then tail -n 40 $(FUZZ_DIR)/$$t.log; exit 1; fi; done

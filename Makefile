# Quick start: `make run` builds and starts Korvex, `make test` builds and runs every test: the suite, the
# same suite under AddressSanitizer and UndefinedBehaviorSanitizer, and every fuzz target over its corpus.
# Both install missing Debian packages first (with sudo when not root), and say which before they do:
# `make build`, `make install` and `make package` only what building needs, `make run` the fonts besides,
# `make test` (and `make check`) the test tools as well. `make check` runs the suite alone.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
PACKAGE_DIR ?= build-package
JOBS ?= 2
BUILD_PACKAGES := cmake ninja-build g++ qt6-base-dev qt6-svg-dev libjpeg62-turbo-dev libnanoflann-dev \
                  libfontconfig-dev
RUN_PACKAGES := fonts-wine fonts-liberation2
PACKAGE_PACKAGES := dpkg-dev file
TEST_PACKAGES := libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth binutils-mingw-w64-i686 clang-format clang \
                 libclang-rt-14-dev desktop-file-utils $(RUN_PACKAGES)
PACKAGE_TEST_PACKAGES := lintian xvfb xauth x11-utils desktop-file-utils shared-mime-info binutils $(RUN_PACKAGES)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# $(call install-missing,WHAT,PACKAGES): installs those of PACKAGES that are missing, naming them first.
define install-missing
	@missing=$$(for p in $(2); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Missing $(1):" $$missing; \
	  echo "Installing them with$(if $(SUDO), sudo) apt-get install."; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

.PHONY: deps deps-run deps-package deps-test deps-test-package build run check test test-sanitize test-arm64 bench \
        format-check clean check-linuxcnc check-grbl install package test-package

deps:
	$(call install-missing,build dependencies,$(BUILD_PACKAGES))

deps-run: deps
	$(call install-missing,fonts of the window,$(RUN_PACKAGES))

deps-package: deps
	$(call install-missing,packaging tools,$(PACKAGE_PACKAGES))

deps-test: deps
	$(call install-missing,test dependencies,$(TEST_PACKAGES))

deps-test-package: deps-package
	$(call install-missing,package check tools,$(PACKAGE_TEST_PACKAGES))

# Configured on every build: a build first made without GoogleTest gets its tests once `make test` has
# installed it.
build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Starts the window. Without a display, run it in a virtual X server:
#   xvfb-run -a -s "-screen 0 1280x1024x24" make run
run: deps-run build
	@if [ -x $(BUILD_DIR)/app/korvex ]; then \
	  $(BUILD_DIR)/app/korvex; \
	else \
	  $(BUILD_DIR)/app/korvex-cli -o - examples/board.drl; \
	fi

check: deps-test build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

test: format-check check test-sanitize fuzz-regression

# `make install` installs into PREFIX (default /usr/local; DESTDIR works as usual) and, outside /usr and
# without DESTDIR, refreshes that prefix's MIME, desktop-entry and icon caches where the tools exist (for /usr,
# dpkg's triggers do it). `make package` builds the .deb in $(PACKAGE_DIR) with Debian's hardening flags;
# `make test-package` checks it with lintian, installs it into a throwaway root, starts the window there and
# purges it again (a few minutes after a build; not part of `make test`).
PREFIX ?= /usr/local

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)
	@if [ "$(PREFIX)" != /usr ] && [ -z "$(DESTDIR)" ]; then \
	  share="$(PREFIX)/share"; \
	  if command -v update-mime-database >/dev/null; then update-mime-database "$$share/mime"; fi; \
	  if command -v update-desktop-database >/dev/null; then update-desktop-database -q "$$share/applications"; fi; \
	  if command -v gtk-update-icon-cache >/dev/null; then gtk-update-icon-cache -q -t -f "$$share/icons/hicolor"; fi; \
	fi

package: deps-package
	cmake -S . -B $(PACKAGE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_HARDENING=ON \
	  -DKORVEX_BUILD_TESTS=OFF
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack -G DEB

test-package: deps-test-package package
	tools/test-package.sh $(PACKAGE_DIR)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps-test
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS)

# Every real drill file converted for LinuxCNC and run through LinuxCNC's interpreter rs274 (unpacked from
# Debian's linuxcnc-uspace into RS274_ROOT, default /work/rs274/root, on first use); GRBL programs are checked
# for codes GRBL 1.1 refuses. Not part of `make test`: it downloads the interpreter and needs the real files.
check-linuxcnc: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS) --target korvex-cli
	tools/rs274-check.sh $(BUILD_DIR)/app/korvex-cli

# Every real drill file's GRBL program through GRBL 1.1's own parser and planner (grbl-sim's gvalidate, built
# from gnea/grbl and grbl/grbl-sim in GRBL_ROOT, default /work/grbl), and checked for GRBL's real-time bytes.
# Not part of `make test`: it needs GRBL's sources and the real files.
check-grbl: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS) --target korvex-cli
	tools/grbl-check.sh $(BUILD_DIR)/app/korvex-cli

# One run: the conversion of 100k and 1M hole files against cat and the file layer, korvex-cli's start-up, and
# the window's start-up to its first expose against an empty Qt window (offscreen unless DISPLAY is set).
bench: deps-test
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_BENCH=ON -DKORVEX_BUILD_TESTS=OFF \
	  -DKORVEX_BUILD_GUI=ON
	cmake --build build-bench -j $(JOBS) --target korvex-bench korvex-order-bench korvex-startup-bench
	build-bench/bench/korvex-bench
	build-bench/bench/korvex-order-bench
	build-bench/bench/korvex-startup-bench

format-check: deps-test
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
	@tools/check-locale-numbers.sh

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(PACKAGE_DIR) build-bench $(ARM64_DIR)

# The engine, korvex-cli and their tests cross-built for arm64 and run under qemu-aarch64: there long double
# is not the x87 format, so this proves the software extended format against the golden files. Not part of
# `make test` (it takes several minutes on two cores).
ARM64_DIR ?= build-arm64
ARM64_PACKAGES := cmake ninja-build libgtest-dev libnanoflann-dev qemu-user g++-aarch64-linux-gnu
ARM64_TESTS := korvex_conversion_tests korvex_excellon_tests korvex_golden_tests korvex_cli_tests
ARM64_TOOLCHAIN := -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/aarch64-toolchain.cmake
.PHONY: deps-arm64

deps-arm64:
	$(call install-missing,cross-build dependencies,$(ARM64_PACKAGES))

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
                gcode_reader fast_paths extended80 drill_order program_picture rack_file
.PHONY: fuzz fuzz-build fuzz-regression

fuzz-build: deps-test
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

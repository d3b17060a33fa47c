# Quick start: `make run` builds and starts Korvex, `make test` builds and runs every test.
# Both install missing Debian packages first (with sudo when not root).

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= 2
PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev qt6-svg-dev \
            libjpeg62-turbo-dev xvfb xauth fonts-wine fonts-liberation2 binutils-mingw-w64-i686 clang-format
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build run test test-sanitize bench format-check clean

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

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_BENCH=ON -DKORVEX_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	build-bench/bench/korvex-bench

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) build-bench

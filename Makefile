# The two commands a newcomer runs: `make demo` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap configure build demo test clean install test-sanitize fuzz

all: build

bootstrap:
	@bash scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@bash scripts/demo $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

install: build
	@cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

clean:
	@rm -rf $(BUILD) build-asan build-tsan build-fuzz

# The suite under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# threaded scan tests under ThreadSanitizer.
test-sanitize: bootstrap
	@bash scripts/test-sanitize

# Each fuzz target for FUZZ_SECONDS (default 60) from its seed corpus.
FUZZ_SECONDS ?= 60
fuzz: bootstrap
	@bash scripts/fuzz $(FUZZ_SECONDS)

# The 32-bit Windows DLLs, cross-built with MinGW-w64, and their tests under Wine.
WIN_BUILD ?= build-win32
WIN_TESTS ?= OFF
.PHONY: windows test-windows
windows: bootstrap
	@cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
	  -DZRT_BUILD_TOOLS=OFF -DZRT_BUILD_BENCH=OFF -DZRT_BUILD_TESTS=$(WIN_TESTS) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS) --target ZRTL5617 ZRTS5617
	@cp $(WIN_BUILD)/bin/ZRTL5617.dll $(WIN_BUILD)/bin/ZRTS5617.dll $(WIN_BUILD)/ 2>/dev/null || \
	  cp $(WIN_BUILD)/lib/ZRTL5617.dll $(WIN_BUILD)/lib/ZRTS5617.dll $(WIN_BUILD)/

test-windows: windows
	@bash scripts/test-windows $(WIN_BUILD)

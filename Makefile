# Dorvane: the shipping board and the two ActiveX controls.
#   make run   - install what is missing, build, prepare the demo on first run, start dorvane
#   make test  - install what is missing, build native and cross (32- and 64-bit Windows), run every test;
#                also the native suite under the sanitizers and each fuzz target for FUZZ_SECONDS
NATIVE := build/native
CROSS  := build/win32
CROSS64 := build/win64
ASAN   := build/asan
FUZZ   := build/fuzz
CONFIG ?= RelWithDebInfo
FUZZ_SECONDS ?= 45
# Objects compiled in one checkout are reused by ccache in another (a worktree, CI's fresh clone):
# paths under the checkout are hashed relative to it, and the build folder's name is not hashed.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all bootstrap native win32 win64 asan fuzz build test run bench clean

all: build

bootstrap:
	@scripts/bootstrap

$(NATIVE)/build.ninja: | bootstrap
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=$(CONFIG)

$(CROSS)/build.ninja: | bootstrap
	cmake -S . -B $(CROSS) -G Ninja -DCMAKE_BUILD_TYPE=$(CONFIG) \
	      -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw32.cmake

$(CROSS64)/build.ninja: | bootstrap
	cmake -S . -B $(CROSS64) -G Ninja -DCMAKE_BUILD_TYPE=$(CONFIG) \
	      -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw64.cmake

# The sanitizer build is for finding faults, not for speed: unoptimised it compiles in less than half
# the time of -O1 (the suite's time is mostly Qt's and SQLite's, which are optimised anyway); line
# tables alone (-g1) name the source lines in its reports.
$(ASAN)/build.ninja: | bootstrap
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_C_FLAGS_SANITIZE="-O0 -g1" \
	      -DCMAKE_CXX_FLAGS_SANITIZE="-O0 -g1" -DDORVANE_SANITIZE=ON

# libFuzzer comes with clang only.
$(FUZZ)/build.ninja: | bootstrap
	cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_C_FLAGS_SANITIZE="-O1 -g1" \
	      -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -g1" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	      -DDORVANE_FUZZ=ON

native: bootstrap $(NATIVE)/build.ninja
	cmake --build $(NATIVE)

win32: bootstrap $(CROSS)/build.ninja
	cmake --build $(CROSS)

win64: bootstrap $(CROSS64)/build.ninja
	cmake --build $(CROSS64)

asan: bootstrap $(ASAN)/build.ninja
	cmake --build $(ASAN) --target dorvane_tests

fuzz: bootstrap $(FUZZ)/build.ninja
	cmake --build $(FUZZ)

build: native win32 win64

test: build asan fuzz
	@FUZZ_SECONDS=$(FUZZ_SECONDS) tools/run-tests $(NATIVE) $(CROSS) $(CROSS64) $(ASAN) $(FUZZ)

# build/package/dorvane_<version>_amd64.deb, with the controls' Windows setup beside it when built.
.PHONY: package
package: bootstrap $(NATIVE)/build.ninja $(CROSS)/build.ninja
	@tools/make-package $(NATIVE) $(CROSS) build/package

run: native
	@tools/run-dorvane $(NATIVE)

bench: native
	@for b in $(NATIVE)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf build

# Dorvane: the shipping board and the two ActiveX controls.
#   make run   - install what is missing, build, prepare the demo on first run, start dorvane
#   make test  - install what is missing, build native and cross (32- and 64-bit Windows), run every test
NATIVE := build/native
CROSS  := build/win32
CROSS64 := build/win64
CONFIG ?= RelWithDebInfo
# Objects compiled in one checkout are reused by ccache in another (a worktree, CI's fresh clone):
# paths under the checkout are hashed relative to it, and the build folder's name is not hashed.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all bootstrap native win32 win64 build test run bench clean

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

native: bootstrap $(NATIVE)/build.ninja
	cmake --build $(NATIVE)

win32: bootstrap $(CROSS)/build.ninja
	cmake --build $(CROSS)

win64: bootstrap $(CROSS64)/build.ninja
	cmake --build $(CROSS64)

build: native win32 win64

test: build
	@tools/run-tests $(NATIVE) $(CROSS) $(CROSS64)

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

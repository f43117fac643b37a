# Front door: `make run` and `make test` do all set-up on a fresh Debian machine.
SHELL := /bin/bash
CMAKE_FLAGS :=
ifeq ($(CI),true)
CMAKE_FLAGS += -DVQ_WERROR=ON
endif
JOBS ?= $(shell nproc)

.PHONY: all deps dev release tsan test test-dev test-tsan bench fuzz run install package clean

all: dev

deps:
	@scripts/install-deps

dev: deps
	cmake --preset dev $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset dev -j $(JOBS)

release: deps
	cmake --preset release $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset release -j $(JOBS)

tsan: deps
	cmake --preset tsan $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset tsan -j $(JOBS) --target tsan_tests

test-dev: dev
	ctest --preset dev

test-tsan: tsan
	ctest --preset tsan

test: test-dev test-tsan

# One table: every benchmark against its yardstick (ImageMagick and Python only for this target).
bench: release
	@scripts/install-deps imagemagick python3 time
	@scripts/bench-table

# Each libFuzzer target for FUZZ_SECONDS on its corpus in fuzz/corpus/ (clang only; not part of `make test`).
FUZZ_SECONDS ?= 30
fuzz:
	@JOBS=$(JOBS) scripts/run-fuzz $(FUZZ_SECONDS)

# Only what it runs: the app, the demo promotion server and the artwork.
run: deps
	cmake --preset release $(CMAKE_FLAGS) >/dev/null
	cmake --build --preset release -j $(JOBS) --target velvet-quill promo-server artwork
	@scripts/run-app

# The programs, artwork, examples, desktop entry, icons and manual pages under PREFIX
# (the manual pages name PREFIX's folders, so the build is configured with it).
PREFIX ?= /usr/local
install: deps
	cmake --preset release $(CMAKE_FLAGS) -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	cmake --build --preset release -j $(JOBS) --target installable
	cmake --install build/release

# A .deb of the same, for /usr: build/release/velvet-quill_VERSION_ARCH.deb.
package: deps
	cmake --preset release $(CMAKE_FLAGS) -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	cmake --build --preset release -j $(JOBS) --target installable
	cd build/release && cpack -G DEB
	@ls build/release/velvet-quill_*.deb

clean:
	rm -rf build out

# Set-up and everyday commands; each works on a fresh Debian 12 machine as root.
JOBS ?= $(shell nproc)

.PHONY: all deps build-release build-debug run test bench package windows test-windows test-debian13 package-debian13 format clean

all: build-release

deps:
	@sh scripts/install-deps

build-release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

build-debug: deps
	cmake --preset debug >/dev/null
	cmake --build --preset debug -j $(JOBS)

run: build-release
	GAVELDESK_HOME= ./build/release/app/gaveldesk

# One test more than cores: many wait on the program they start (under strace, the validators, the server).
TEST_JOBS ?= $(shell echo $$(( $$(nproc) + 1 )))
test: build-debug
	ctest --preset debug -j $(TEST_JOBS)

# The Debian package in build/package, then the validators' verdicts.
package: build-release
	@sh scripts/install-deps package
	cd build/release && cpack -G DEB -B ../package
	lintian --fail-on error build/package/gaveldesk_*.deb
	desktop-file-validate packaging/de.gavelmail.gaveldesk.desktop
	appstreamcli validate --no-net packaging/de.gavelmail.gaveldesk.metainfo.xml

# The Windows program, its ZIP and installer in build/windows-package (the first run builds
# Qt and the libraries for Windows: about 40 minutes on two cores; later runs take minutes).
# The same inside a Debian 13 system made on this machine (scripts/debian13 system first).
test-debian13:
	sh scripts/debian13 run "cmake --preset debian13-debug >/dev/null && cmake --build --preset debian13-debug -j $(JOBS) && ctest --preset debian13 -j $(TEST_JOBS)"

package-debian13:
	sh scripts/debian13 run "cmake --preset debian13-release >/dev/null && cmake --build --preset debian13-release -j $(JOBS) && cd build/debian13/release && cpack -G DEB -B ../package && lintian --fail-on error ../package/gaveldesk_*.deb"

windows:
	@sh scripts/install-deps windows
	JOBS=$(JOBS) sh scripts/windows/build.sh

# The Windows build under Wine beside the Linux build, on the same input.
test-windows: windows build-release
	python3 scripts/windows/test-under-wine.py

bench: build-release
	@for b in build/release/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && "$$b"; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build

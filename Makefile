# Everything a fresh Debian machine needs: `make run` and `make test`.
JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

.PHONY: run test test-release test-asan test-tsan test-windows windows mutants mutants-random build release deps deps-test package clean

deps:
	@scripts/install-deps.sh build

deps-test:
	@scripts/install-deps.sh test

build/release/build.ninja:
	cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithAsserts

release: deps build/release/build.ninja
	cmake --build build/release -j $(JOBS)

# Builds and starts the desktop program; with no display, enhances a bundled
# sample with the command-line program instead.
run: release
	@scripts/run-main.sh build/release

# Every test: optimised build with assertions, then AddressSanitizer +
# UndefinedBehaviorSanitizer, then ThreadSanitizer for the threaded code.
test: deps-test
	@scripts/run-tests.sh all

test-release: deps-test
	@scripts/run-tests.sh release

test-asan: deps-test
	@scripts/run-tests.sh asan

test-tsan: deps-test
	@scripts/run-tests.sh tsan

# The Debian package: dist/vistrel_<version>-1_amd64.deb.
package:
	@scripts/install-deps.sh build package
	cmake -S . -B build/package $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithAsserts \
	  -DVISTREL_BUILD_TESTS=OFF -DVISTREL_BUILD_BENCH=OFF
	cmake --build build/package -j $(JOBS)
	cd build/package && cpack

# The Windows programs, cross-built with MinGW-w64, and both downloads in
# dist/: the zip and the installer (and the LGPL DLLs' sources beside them).
windows:
	@scripts/windows/build.sh
	@scripts/windows/package.sh

# The Windows build's test suites under Wine, then the packages.
test-windows:
	@scripts/run-tests.sh windows

# Checks that the tests catch the slips listed in tests/mutants.txt (long:
# one rebuild and test run per slip; not part of `make test`).
mutants: deps-test
	@scripts/mutation-check.py

# Mutants made by rule (flipped comparisons, constants off by one, swapped
# arguments, left-out calls, inverted conditions, changed return values)
# until MUTANTS of them built; the same SEED draws the same ones, and the
# verdicts kept in build/mutation let a stopped run go on where it left off.
SEED ?= 7
MUTANTS ?= 200
mutants-random: deps-test
	@nice -n 19 scripts/mutation-check.py --random $(MUTANTS) --seed $(SEED)

clean:
	rm -rf build dist

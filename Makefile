# The project's entry points; README.md explains them.
#   make test       install what is missing, build, run every test
#   make run        build, then a whole 360-degree shoot on the simulated turntable
#                   through the example host, headless
#   make console    build, then the console program on the simulated turntable
#   make screenshot docs/host-window.png: the example host's window after a shoot,
#                   on an X virtual framebuffer
#   make test-asan  every test under AddressSanitizer + UndefinedBehaviorSanitizer
#   make test-tsan  the threading tests under ThreadSanitizer
#   make test-qt6   the same tests built with Qt 6 (build-qt6/)
#   make test-install  install the SDK into build-install/prefix and build and run
#                   an outside client against it (CMake and pkg-config)
#   make package    the Debian packages (runtime, -dev, tools) in build-package
#   make test-package  build the packages, lintian them, resolve their Depends
#                   against the Debian archive, install them with dpkg into
#                   build-package/root, build and run the outside client and the
#                   console program there, and remove them
#   make package-qt6 / test-package-qt6  the same for the Qt 6 build's packages
#   make docs       the API reference from the public headers (build-docs/html)
#   make bench      the benchmarks on the simulated chip (docs/performance.md)
#   make fuzz       the libFuzzer targets, FUZZ_SECONDS (60) each, in a clang build
#   make mutations  the tests must fail for each of a few deliberate faults
#   make format     reformat the sources; make format-check only checks
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifneq ($(CI),)
  CMAKE_FLAGS += -DKALVERA_WERROR=ON
endif
CTEST = ctest --output-on-failure --no-tests=error -j $(JOBS)
ASAN = address,undefined
SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

# $(1): build directory, $(2): extra CMake arguments
define build_in
	cmake -S . -B $(1) -G Ninja $(CMAKE_FLAGS) $(2)
	cmake --build $(1) -j $(JOBS)
endef

FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_console fuzz_settings_file

.PHONY: deps build test test-qt6 run console screenshot bench fuzz mutations test-asan test-tsan test-install \
        test-install-qt6 package test-package package-qt6 test-package-qt6 docs \
        format format-check clean

deps:
	scripts/install-deps

build: deps
	$(call build_in,build,)

test: build
	cd build && $(CTEST)

# QT6_CTEST_ARGS: further arguments to CTest (CI passes -LE realpath).
test-qt6: deps
	$(call build_in,build-qt6,-DKALVERA_QT_MAJOR=6)
	cd build-qt6 && $(CTEST) $(QT6_CTEST_ARGS)

# On the full-speed bus, where a real chip's USB frames and bit-bang clock are
# modelled.
run: build
	FTDISIM_USB_TIMING=full-speed build/examples/host/KalveraTurntableHost --backend simulator --headless --model Custom --frames 6

console: build
	build/test/KalveraTurntableTest --backend simulator

screenshot: build
	scripts/host-screenshot build docs/host-window.png

bench: build
	build/bench/bench_step_period
	build/bench/bench_sequence
	build/bench/bench_stop_and_cpu

# The code under test carries fuzzer-no-link with the sanitizers; only the
# fuzz targets link libFuzzer's driver.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja $(CMAKE_FLAGS) -DKALVERA_FUZZ=ON \
	  -DKALVERA_SANITIZE=fuzzer-no-link,$(ASAN)
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	scripts/run-fuzz build-fuzz $(FUZZ_SECONDS)

mutations: deps
	JOBS=$(JOBS) scripts/mutations

test-asan: deps
	$(call build_in,build-asan,-DKALVERA_SANITIZE=$(ASAN))
	cd build-asan && $(CTEST)

# Builds only the programs of the threading tests.
test-tsan: deps
	cmake -S . -B build-tsan -G Ninja $(CMAKE_FLAGS) -DKALVERA_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS) --target kalvera_threading_tests
	cd build-tsan && $(CTEST) -L threading

test-install: deps
	JOBS=$(JOBS) CMAKE_FLAGS="$(CMAKE_FLAGS)" scripts/test-install

test-install-qt6: deps
	KALVERA_QT_MAJOR=6 JOBS=$(JOBS) CMAKE_FLAGS="$(CMAKE_FLAGS)" scripts/test-install

# Configured for /usr, where Debian installs; the packages are built without the
# tests and the example programs.
package: deps
	$(call build_in,build-package,-DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr)
	rm -f build-package/*.deb
	cd build-package && cpack -G DEB

test-package: package
	scripts/test-package

package-qt6: deps
	$(call build_in,build-package-qt6,-DKALVERA_QT_MAJOR=6 -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr)
	rm -f build-package-qt6/*.deb
	cd build-package-qt6 && cpack -G DEB

# The Qt 6 packages are checked with the backends' package of the Qt 5 build.
test-package-qt6: package package-qt6
	KALVERA_QT_MAJOR=6 scripts/test-package

# Fails on any warning, an undocumented public member included.
docs: deps
	doxygen docs/Doxyfile
format: deps
	clang-format -i $(SOURCES)

format-check: deps
	clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf build build-qt6 build-asan build-tsan build-install build-install-qt6 build-package build-package-qt6 build-docs \
	  build-fuzz build-mutants

# The project's entry points; README.md explains them.
#   make test       install what is missing, build, run every test
#   make run        build, then a whole 360-degree shoot on the simulated turntable
#                   through the example host, headless
#   make console    build, then the console program on the simulated turntable
#   make screenshot docs/host-window.png: the example host's window after a shoot,
#                   on an X virtual framebuffer
#   make test-asan  every test under AddressSanitizer + UndefinedBehaviorSanitizer
#   make test-tsan  the threading tests under ThreadSanitizer
#   make bench      the benchmarks on the simulated chip
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

.PHONY: deps build test run console screenshot bench test-asan test-tsan format format-check clean

deps:
	scripts/install-deps

build: deps
	$(call build_in,build,)

test: build
	cd build && $(CTEST)

run: build
	build/examples/host/KalveraTurntableHost --headless --model Custom --frames 6

console: build
	build/test/KalveraTurntableTest

screenshot: build
	scripts/host-screenshot build docs/host-window.png

bench: build
	build/bench/bench_step_period

test-asan: deps
	$(call build_in,build-asan,-DKALVERA_SANITIZE=$(ASAN))
	cd build-asan && $(CTEST)

test-tsan: deps
	$(call build_in,build-tsan,-DKALVERA_SANITIZE=thread)
	cd build-tsan && $(CTEST) -L threading

format: deps
	clang-format -i $(SOURCES)

format-check: deps
	clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf build build-asan build-tsan

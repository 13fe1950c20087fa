# make run  - installs what is missing, builds, starts the configurator against a
#             simulated module in service (make run SIM_MODEL=11: another model;
#             make run PORT=/dev/ttyUSB0: on that port instead)
# make test - installs what is missing, builds with sanitizers, runs every test,
#             and compiles the Release configuration
# make bench - builds the benchmarks optimized and runs each of them once
BUILD_DIR ?= build
TEST_DIR ?= build-test
FUZZ_DIR ?= build-fuzz
RELEASE_DIR ?= build-release
BENCH_DIR ?= build-bench
BENCHES := $(basename $(notdir $(wildcard bench/*.cpp)))
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)

.PHONY: run test deps build build-test build-release bench fuzz clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZ580_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS)

PORT ?=
SIM_MODEL ?= 8

run: build
	Z580_SIM_MODEL=$(SIM_MODEL) scripts/run-configurator $(BUILD_DIR) $(PORT)

build-test: deps
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZ580_SANITIZE=ON
	cmake --build $(TEST_DIR) -j $(JOBS)

# Compile only: optimized builds meet warnings that a Debug build does not.
build-release: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE_DIR) -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZ580_TESTS=OFF -DZ580_GUI=ON
	cmake --build $(BENCH_DIR) -j $(JOBS) --target $(BENCHES)
	@for b in $(BENCHES); do echo "== $$b"; $(BENCH_DIR)/bench/$$b || exit 1; done

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZ580_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	scripts/run-fuzzers $(FUZZ_DIR) $(FUZZ_SECONDS)

# Each suite runs once: a test that fails on a loaded machine is a race to mend.
test: build-test
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory build-release
	$(MAKE) --no-print-directory fuzz

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR) $(FUZZ_DIR) $(RELEASE_DIR) $(BENCH_DIR)

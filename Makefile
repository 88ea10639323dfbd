# Two entry points: `make run` builds and starts the application, `make test` builds and runs every test.
# Both install whatever the machine is missing first (idempotent; quick when everything is there).
BUILD ?= build
JOBS ?= $(shell nproc)
# A compiler cache, when the machine has one, makes rebuilds of other checkouts cheap.
LAUNCHER := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache,)

.PHONY: run test test-sanitized test-thread-sanitized build setup bench clean install

setup:
	@bash scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER) $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/bin/vellumark $(ARGS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600

# The suite under AddressSanitizer + UndefinedBehaviorSanitizer, in a build folder of its own, then the fuzz
# check with about a thousand mutants (six seed files), many more than the suite's own run of it.
FUZZ_PER_SEED ?= 170
test-sanitized:
	@$(MAKE) --no-print-directory build BUILD=build-asan CMAKE_ARGS="$(CMAKE_ARGS) -DVMK_SANITIZE=ON"
	@cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 1200
	@python3 scripts/fuzzcheck.py --target build-asan/bin/vmk_fuzz_target --work build-asan/fuzz-wide \
		--per-seed $(FUZZ_PER_SEED) --jobs $(JOBS) --timeout 120

# The suites that run work on many threads (page drawing and recording workers, text reading, recognition,
# Make Searchable, search, thumbnails, compression's page workers, saving on a worker) under
# ThreadSanitizer, in a build folder of its own. Only their test programs are built; the others'
# placeholders and the fuzz target's tests are left out of the run.
TSAN_TESTS ?= test_platform test_core test_editor test_views
test-thread-sanitized: setup
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER) $(CMAKE_ARGS) \
		-DVMK_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target $(TSAN_TESTS)
	@cd build-tsan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -E '_NOT_BUILT$$|^FuzzCheck$$|^FuzzTargetHostilePages$$'

# For the current user: ~/.local/bin and ~/.local/lib, the desktop entry and icon in $XDG_DATA_HOME.
install: build
	@bash scripts/install-user.sh $(BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)

# Front door: each target installs missing Debian packages, configures and builds first.
BUILD ?= build
JOBS ?= $(shell nproc)

SEEDS ?= 10
PREFIX ?= /usr/local

.PHONY: all deps configure build demo test bench soak sanitize fuzz install clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@./$(BUILD)/qvz

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@./$(BUILD)/qvz_bench --json=$(BUILD)/bench.json

# The long hostile-input soak (seeds 1..SEEDS, every rate and frame length) and binding fuzz.
soak: build
	@QVZ_SOAK_SEEDS=$(SEEDS) ./$(BUILD)/qvz_tests --gtest_also_run_disabled_tests --gtest_filter='RobustSoak.DISABLED_Long'
	@set -e; for s in $$(seq 1 $(SEEDS)); do \
	  QVZ_FUZZ_SEED=$$s QVZ_FUZZ_CALLS=2000 LUA_CPATH="$(BUILD)/lua/?.so;;" LUA_PATH="tests/lua/?.lua;;" lua5.4 tests/lua/test_robust_fuzz.lua; \
	done

# The robustness suite under AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/).
sanitize: deps
	@bash scripts/sanitize

# qvz, its man page, the host library, both Lua modules (PREFIX/lib/lua/5.4) and the examples.
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The long fuzz campaigns: FUZZ_SECONDS per target (default 1800) in the sanitizer build,
# continuing from the inputs earlier runs kept in build-asan/fuzz/.
FUZZ_SECONDS ?= 1800
fuzz: deps
	@BUILD_ONLY=1 bash scripts/sanitize address
	@bash scripts/fuzz build-asan $(FUZZ_SECONDS)

clean:
	@rm -rf $(BUILD)

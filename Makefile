# Front door: each target installs missing Debian packages, configures and builds first.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build demo test bench soak clean

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

clean:
	@rm -rf $(BUILD)

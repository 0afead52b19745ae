# Two commands set everything up: `make run` (the tool) and `make test` (the tests).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
READER ?= serial

.PHONY: deps configure build run test clean

deps:
	scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run.sh $(BUILD) $(READER)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 120

clean:
	rm -rf $(BUILD)

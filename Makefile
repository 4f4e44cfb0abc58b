# Thin wrapper around the CMake build. Everything real lives in CMakeLists.txt and scripts/.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run bench fuzz clean format screenshots

all: build

deps:
	scripts/install-deps

configure:
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	$(MAKE) build
	scripts/run-tests $(BUILD_DIR)

run: deps
	$(MAKE) build
	scripts/run-demo $(BUILD_DIR)

bench: deps
	$(MAKE) build
	bench/run-all $(BUILD_DIR)

# The desktop program's windows rendered offscreen to $(BUILD_DIR)/screenshots/*.png.
screenshots: deps
	$(MAKE) build
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/rowsmith-screenshots $(BUILD_DIR)/screenshots

fuzz: deps
	scripts/fuzz

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)

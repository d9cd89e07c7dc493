# The two commands of the README:
#   make run   installs what is missing, builds, and starts Tivrel in examples/
#   make test  installs what is missing, builds, and runs every test
BUILD_DIR   ?= build
CMAKE_FLAGS ?=
JOBS        ?= $(shell nproc)

.PHONY: run test build deps clean

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	cd examples && ../$(BUILD_DIR)/tivrel

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)

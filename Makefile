# Quick start: `make demo` runs the tool on a demo Wine machine, `make test` runs every test.
BUILD_DIR ?= $(CURDIR)/build
export BUILD_DIR
JOBS ?= $(shell nproc)

.PHONY: all setup configure build prefix test unit demo gallery screenshots windows-kit format clean

all: build

setup:
	@bash tools/bootstrap

configure: setup
	@cmake --no-warn-unused-cli -S . -B "$(BUILD_DIR)" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null

build: configure
	@cmake --build "$(BUILD_DIR)" -j $(JOBS)

prefix: build
	@bash tools/wine-prefix "$(BUILD_DIR)/wineprefix" start

test: prefix
	@bash tools/run-tests "$(BUILD_DIR)"

demo: build
	@bash tools/demo "$(BUILD_DIR)"

# Screenshots of every widget: build/gallery/<theme>-<dpi>.png.
gallery: prefix
	@bash tools/gallery "$(BUILD_DIR)"

# Screenshots of every wizard page: build/screenshots/<theme>-<dpi>-<page>.png, docs/images/.
screenshots: prefix
	@bash tools/screenshots "$(BUILD_DIR)"

# The Windows validation kit: build/windows-kit.zip (docs/windows-validation.md).
windows-kit: build
	@cmake --build "$(BUILD_DIR)" -j $(JOBS) --target windows-kit

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf "$(BUILD_DIR)"

# Thin wrapper over CMake. `make` builds Release into build/.
BUILD ?= build
JOBS ?= 2

.PHONY: all configure test play bench clean format

all: configure
	cmake --build $(BUILD) -j$(JOBS)

configure:
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

test: all
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

play: all
	./tools/play.sh $(BUILD)

bench: all
	./$(BUILD)/velmaro-bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)

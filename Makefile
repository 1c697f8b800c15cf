# Thin wrapper over CMake. `make` builds Release into build/.
BUILD ?= build
JOBS ?= 2

.PHONY: all configure test play serve screenshot bench clean format windows test-windows test-v3 test-asan test-tsan fuzz

all: configure
	cmake --build $(BUILD) -j$(JOBS)

configure:
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

test: all
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

play: all
	./tools/play.sh $(BUILD)

# The board page: play the brain in a browser at the address it prints.
# PORT=0 takes any free port; TURN is the brain's time a move in ms. The
# brain's files stay in $(BUILD)/serve.
PORT ?= 8080
TURN ?= 2000
serve: all
	./$(BUILD)/velmaro-arena --serve $(PORT) --engine "'$(CURDIR)/$(BUILD)/pbrain-velmaro'" \
	  --size 15 --turn $(TURN) --folder $(BUILD)/serve

# The README's pictures of the board page (docs/board-page.png, and
# docs/board-page-phone.png on a phone), taken by the browser test.
screenshot: all
	/usr/bin/python3 tests/browser/page_test.py $(BUILD)/velmaro-arena $(BUILD)/pbrain-velmaro \
	  $(BUILD)/tests/velmaro-test-brain --screenshot docs/board-page.png

bench: all
	./$(BUILD)/velmaro-bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# The Windows brain, cross-built with MinGW-w64: build-windows/pbrain-velmaro.exe
windows:
	@test -f build-windows/CMakeCache.txt || cmake -S . -B build-windows \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DVELMARO_TESTS=OFF
	cmake --build build-windows -j$(JOBS) --target pbrain-velmaro

# The end-to-end tests against the Windows brain under Wine.
test-windows: windows configure
	cmake -S . -B $(BUILD) -DVELMARO_WINDOWS_EXE=$(CURDIR)/build-windows/pbrain-velmaro.exe
	cmake --build $(BUILD) -j$(JOBS) --target velmaro-e2e-wine
	cd $(BUILD) && ctest --output-on-failure -L windows

# The engine built for AVX2 processors, as engines are often built for
# tournaments (-march=x86-64-v3): the bench signature and the unit suite
# (build-v3). Skipped, with a message, on a processor without AVX2.
test-v3:
	@if grep -qw avx2 /proc/cpuinfo 2>/dev/null; then \
	  test -f build-v3/CMakeCache.txt || cmake -S . -B build-v3 -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_CXX_FLAGS=-march=x86-64-v3; \
	  cmake --build build-v3 -j$(JOBS) --target velmaro-bench velmaro-unit-tests && \
	  tools/bench/check_signature.sh build-v3 && build-v3/tests/velmaro-unit-tests; \
	else \
	  echo "test-v3: skipped: this processor has no AVX2"; \
	fi

# The suites under sanitizers, each in its own build folder: ASan + UBSan
# (build-asan, every suite) and TSan (build-tsan, the unit and end-to-end suites). Any
# sanitizer report fails the target.
test-asan:
	JOBS=$(JOBS) tests/sanitizers/run.sh address

test-tsan:
	JOBS=$(JOBS) tests/sanitizers/run.sh thread

# The libFuzzer harnesses (clang, build-fuzz), FUZZ_SECONDS each.
FUZZ_SECONDS ?= 60
fuzz:
	JOBS=$(JOBS) tests/fuzz/run.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-windows build-v3 build-asan build-tsan build-fuzz

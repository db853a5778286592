# The two commands of a fresh machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps test-deps app build run test bench fuzz clean install package

all: build

# What building and running the applet needs; the test suite needs far more.
deps:
	@tools/install-deps.sh build
test-deps:
	@tools/install-deps.sh test

# The applet, kelvo-reg and the pictures, without the tests and benchmarks.
app: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DKELVO_TESTS=OFF -DKELVO_BENCH=OFF >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

build: test-deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DKELVO_TESTS=ON -DKELVO_BENCH=ON >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

# Only the applet and what it reads (canvas.bmp).
run: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DKELVO_TESTS=OFF -DKELVO_BENCH=OFF >/dev/null
	cmake --build $(BUILD) -j$(JOBS) --target kelvo
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no desktop session here (DISPLAY and WAYLAND_DISPLAY are empty)."; \
	  echo "Start Kelvo from a terminal of your desktop, or try it under Xvfb: tools/try-under-xvfb.sh"; \
	  exit 1; \
	fi
	$(BUILD)/kelvo $(ARGS)

test: build
	@status=0; (cd $(BUILD) && ctest --output-on-failure -j$(JOBS)) || status=$$?; \
	  tools/test-share.sh; exit $$status

# make install PREFIX=/opt/kelvo (default /usr/local; DESTDIR works too)
PREFIX ?= /usr/local
install: app
	cmake --install $(BUILD) --prefix $(PREFIX) --strip

# A Debian package in $(BUILD): kelvo_<version>_<arch>.deb
package: app
	cd $(BUILD) && cpack -G DEB

bench: build
	$(BUILD)/kelvo-bench

clean:
	rm -rf $(BUILD)

# The hive parser and the bitmap reader under libFuzzer, five minutes each
# (FUZZ_SECONDS to change).
FUZZ_SECONDS ?= 300
fuzz:
	tests/fuzz/run_fuzz.sh clang++ $(BUILD)/fuzz $(FUZZ_SECONDS)
	tests/fuzz/run_fuzz.sh clang++ $(BUILD)/fuzz $(FUZZ_SECONDS) bitmap

# The two commands: `make demo` (the main job) and `make test` (every test, plain and sanitized).
BUILD     ?= build
SAN_BUILD ?= build-san
GENERATOR := -G Ninja
CTEST     := ctest --output-on-failure -j2

.PHONY: all setup configure build demo test test-plain test-san bench install format clean

all: build

setup:
	@scripts/setup

configure: setup
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD)

demo: build
	@echo "Tidebloom built in $(BUILD)/"

test: test-plain test-san

test-plain: build
	$(CTEST) --test-dir $(BUILD)

test-san: setup
	cmake -S . -B $(SAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTIDEBLOOM_SANITIZE=ON \
	    -DTIDEBLOOM_BENCH=OFF -DCMAKE_CXX_FLAGS=-O1
	cmake --build $(SAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) --test-dir $(SAN_BUILD)

bench: build
	@for b in $$(find $(BUILD)/bench -type f -executable -name 'bench_*' | sort); do echo "== $$b"; $$b; done

install: build
	cmake --install $(BUILD)

format:
	find . -path ./build -prune -o -path ./build-san -prune -o \( -name '*.cpp' -o -name '*.h' \) -print \
	    | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) out

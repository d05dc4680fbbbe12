# The two commands: `make demo` (the main job) and `make test` (every test, plain and sanitized).
BUILD      ?= build
SAN_BUILD  ?= build-san
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
GENERATOR  := -G Ninja
CTEST      := ctest --output-on-failure -j2

# Test executables that also run under ThreadSanitizer (a regex for ctest -R, and their targets).
TSAN_TESTS   := test_shim|test_vst2_threads|test_lv2_threads|test_effect$$|test_util$$|test_editor_threads|test_platform_x11_threads
TSAN_TARGETS := test_shim test_vst2_threads test_lv2_threads test_effect test_util test_editor_threads test_platform_x11
# libFuzzer targets (built with Clang) and how long each runs in `make test`.
FUZZ_TARGETS := fuzz_png
FUZZ_SECONDS ?= 20

# The project's own checks treat every compiler warning as an error; other builds are not forced to.
WERROR := -DTIDEBLOOM_WERROR=ON

.PHONY: all setup configure build demo test test-plain test-san test-tsan test-fuzz test-package package bench \
	install format clean

all: build

setup:
	@scripts/setup

configure: setup
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD)

# The demo: a built-in phrase of plucked notes, rendered through the built plug-in with two programs, and
# a picture of the plug-in's editor (on the current display, or on a private one under xvfb-run).
# $(BUILD)/tidebloom-paths.txt names the built tidebloom-host (line 1) and Tidebloom.so (line 2).
DEMO_OUT ?= out
demo: build
	@host=$$(sed -n 1p $(BUILD)/tidebloom-paths.txt); plugin=$$(sed -n 2p $(BUILD)/tidebloom-paths.txt); \
	if [ -z "$$plugin" ]; then echo "demo: Tidebloom.so is not part of the build" >&2; exit 1; fi; \
	mkdir -p $(DEMO_OUT) && \
	"$$host" phrase -o $(DEMO_OUT)/demo-dry.wav && \
	"$$host" render "$$plugin" -i $(DEMO_OUT)/demo-dry.wav -o $(DEMO_OUT)/demo-init.wav --program Init && \
	"$$host" render "$$plugin" -i $(DEMO_OUT)/demo-dry.wav -o $(DEMO_OUT)/demo-arpeggio.wav --program Arpeggio \
	    --plot $(DEMO_OUT)/demo-arpeggio.png && \
	if [ -n "$$DISPLAY" ]; then "$$host" snapshot "$$plugin" -o $(DEMO_OUT)/editor.png; \
	else xvfb-run -a -s "-screen 0 1024x768x24" "$$host" snapshot "$$plugin" -o $(DEMO_OUT)/editor.png; fi && \
	echo "demo: listen to $(DEMO_OUT)/demo-dry.wav (dry), $(DEMO_OUT)/demo-init.wav (Init) and $(DEMO_OUT)/demo-arpeggio.wav (Arpeggio); see $(DEMO_OUT)/demo-arpeggio.png and the editor, $(DEMO_OUT)/editor.png"

test: test-plain test-san test-tsan test-fuzz test-package

test-plain: setup
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)
	cmake --build $(BUILD)
	$(CTEST) --test-dir $(BUILD)

# The sanitized build uses Clang, so every file is also compiled warning-free by Clang.
test-san: setup
	CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTIDEBLOOM_SANITIZE=ON \
	    -DTIDEBLOOM_BENCH=OFF -DCMAKE_CXX_FLAGS=-O1 $(WERROR)
	cmake --build $(SAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) --test-dir $(SAN_BUILD)

test-tsan: setup
ifneq ($(strip $(TSAN_TARGETS)),)
	cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTIDEBLOOM_TSAN=ON \
	    -DTIDEBLOOM_BENCH=OFF -DCMAKE_CXX_FLAGS=-O1 $(WERROR)
	cmake --build $(TSAN_BUILD) --target $(TSAN_TARGETS)
	TSAN_OPTIONS=halt_on_error=1 $(CTEST) --test-dir $(TSAN_BUILD) -R '$(TSAN_TESTS)'
endif

test-fuzz: setup
ifneq ($(strip $(FUZZ_TARGETS)),)
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	    -DTIDEBLOOM_FUZZ=ON -DTIDEBLOOM_TESTS=OFF -DTIDEBLOOM_BENCH=OFF $(WERROR)
	cmake --build $(FUZZ_BUILD) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	    exe=$$(find $(FUZZ_BUILD) -type f -executable -name $$t | head -n 1); \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	    echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	    $$exe -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$t || exit 1; \
	done
endif

# `make package`: a Release build of the plug-in and the host packed by CPack into a Debian package,
# $(PACKAGE_BUILD)/package/tidebloom_<version>_<arch>.deb. `make test` builds it with warnings as
# errors, checks its contents and, as root, installs and removes it.
PACKAGE_FLAGS ?= -DTIDEBLOOM_WERROR=OFF
package: setup
	cmake -S . -B $(PACKAGE_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DTIDEBLOOM_TESTS=OFF \
	    -DTIDEBLOOM_BENCH=OFF $(PACKAGE_FLAGS)
	cmake --build $(PACKAGE_BUILD)
	rm -rf $(PACKAGE_BUILD)/package
	cd $(PACKAGE_BUILD) && cpack --config CPackConfig.cmake
	@ls $(PACKAGE_BUILD)/package/*.deb

test-package:
	$(MAKE) package PACKAGE_FLAGS=$(WERROR)
	scripts/test-package $(PACKAGE_BUILD)

bench: build
	@for b in $$(find $(BUILD)/bench -type f -executable -name 'bench_*' | sort); do echo "== $$b"; $$b; done

# `make install` puts Tidebloom.so into ~/.vst, the LV2 bundle Tidebloom.lv2 into ~/.lv2 and
# tidebloom-host into ~/.local/bin for the current user; `make install PREFIX=/usr/local` installs into
# PREFIX/lib/vst, PREFIX/lib/lv2 and PREFIX/bin (DESTDIR works).
PREFIX ?=
LV2_BUNDLE := $(BUILD)/lv2/Tidebloom.lv2
install: build
ifeq ($(strip $(PREFIX)),)
	@host=$$(sed -n 1p $(BUILD)/tidebloom-paths.txt); plugin=$$(sed -n 2p $(BUILD)/tidebloom-paths.txt); \
	if [ -z "$$plugin" ]; then echo "install: Tidebloom.so is not part of the build" >&2; exit 1; fi; \
	if [ ! -f "$(LV2_BUNDLE)/manifest.ttl" ]; then echo "install: $(LV2_BUNDLE) is not part of the build" >&2; exit 1; fi; \
	lv2="$(DESTDIR)$(HOME)/.lv2/Tidebloom.lv2"; \
	install -D -m 755 "$$plugin" "$(DESTDIR)$(HOME)/.vst/Tidebloom.so" && \
	rm -rf "$$lv2" && install -d "$$lv2" && \
	install -m 644 $(LV2_BUNDLE)/*.ttl "$$lv2/" && install -m 755 $(LV2_BUNDLE)/Tidebloom.so "$$lv2/" && \
	install -D -m 755 "$$host" "$(DESTDIR)$(HOME)/.local/bin/tidebloom-host" && \
	echo "install: $(DESTDIR)$(HOME)/.vst/Tidebloom.so, $$lv2 and $(DESTDIR)$(HOME)/.local/bin/tidebloom-host"
else
	cmake --install $(BUILD) --prefix $(PREFIX)
endif

format:
	find . \( -path ./build\* -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print \
	    | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD) out

# The two commands: `make demo` (the main job) and `make test` (every test, plain and sanitized).
BUILD      ?= build
SAN_BUILD  ?= build-san
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
GENERATOR  := -G Ninja
CTEST      := ctest --output-on-failure -j2

# The tests that also run under ThreadSanitizer carry the ctest label `tsan`, the libFuzzer targets (built
# with Clang) the label `fuzz`; the build target <label>_tests builds what a set runs. How long each fuzz
# target runs in `make test`:
FUZZ_SECONDS ?= 20

# The project's own checks treat every compiler warning as an error; other builds are not forced to.
WERROR := -DTIDEBLOOM_WERROR=ON

.PHONY: all setup configure build shipped demo test test-plain test-san test-tsan test-fuzz test-package \
	test-install package bench install uninstall format clean

all: build

setup:
	@scripts/setup

configure: setup
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD)

# Only what the project ships (the VST 2 plug-ins, the LV2 bundles, the CLAP plug-in, tidebloom-host and its manual page
# where the build writes one), in the same folder as everything else: `make test` builds the rest there
# and reuses these.
shipped: configure
	cmake --build $(BUILD) --target shipped

# The demo: a built-in phrase of plucked notes, rendered through the built plug-in with two programs and
# through Tidebloom Precise with "Arpeggio", and pictures of the plug-in's editor (on the current display,
# or on a private one under xvfb-run): at its default settings and size, with the Time knob in the middle
# of a drag (its value showing), and at 200 %. The pictures are taken with no size remembered (a settings
# folder of their own) and at the desktop scale they name, whatever the user's.
# $(BUILD)/tidebloom-paths.txt names the built tidebloom-host (line 1), Tidebloom.so (line 2) and
# TidebloomPrecise.so (line 4).
DEMO_OUT ?= out
demo: shipped
	@host=$$(sed -n 1p $(BUILD)/tidebloom-paths.txt); plugin=$$(sed -n 2p $(BUILD)/tidebloom-paths.txt); \
	precise=$$(sed -n 4p $(BUILD)/tidebloom-paths.txt); \
	mkdir -p $(DEMO_OUT) && \
	"$$host" phrase -o $(DEMO_OUT)/demo-dry.wav && \
	"$$host" render "$$plugin" -i $(DEMO_OUT)/demo-dry.wav -o $(DEMO_OUT)/demo-init.wav --program Init && \
	"$$host" render "$$plugin" -i $(DEMO_OUT)/demo-dry.wav -o $(DEMO_OUT)/demo-arpeggio.wav --program Arpeggio \
	    --plot $(DEMO_OUT)/demo-arpeggio.png && \
	"$$host" render "$$precise" -i $(DEMO_OUT)/demo-dry.wav -o $(DEMO_OUT)/demo-precise.wav --program Arpeggio \
	    --plot $(DEMO_OUT)/demo-precise.png && \
	settings=$$(mktemp -d) && \
	shoot() { scale=$$1; shift; \
	    if [ -n "$$DISPLAY" ]; then GDK_SCALE=$$scale XDG_CONFIG_HOME=$$settings "$$host" snapshot "$$plugin" "$$@"; \
	    else GDK_SCALE=$$scale XDG_CONFIG_HOME=$$settings xvfb-run -a -s "-screen 0 1280x800x24" \
	        "$$host" snapshot "$$plugin" "$$@"; fi; } && \
	shoot 1 -o $(DEMO_OUT)/editor.png && \
	shoot 1 -o $(DEMO_OUT)/editor-readout.png --drag 133,167,-60 && \
	shoot 2 -o $(DEMO_OUT)/editor-200.png && \
	rm -rf "$$settings" && \
	echo "demo: listen to $(DEMO_OUT)/demo-dry.wav (dry), $(DEMO_OUT)/demo-init.wav (Init), $(DEMO_OUT)/demo-arpeggio.wav (Arpeggio) and $(DEMO_OUT)/demo-precise.wav (Tidebloom Precise, Arpeggio); see $(DEMO_OUT)/demo-arpeggio.png, $(DEMO_OUT)/demo-precise.png and the editor: $(DEMO_OUT)/editor.png, $(DEMO_OUT)/editor-readout.png (a knob's value while it is dragged) and $(DEMO_OUT)/editor-200.png (at 200 %)"

test: test-plain test-install test-san test-tsan test-fuzz test-package

test-plain: setup
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)
	cmake --build $(BUILD)
	$(CTEST) --test-dir $(BUILD)

# The sanitized build uses Clang, so every file is also compiled warning-free by Clang. Allocation stacks
# are taken whole (slower, but a leak inside a system library names its caller), so the leak suppressions
# (tests/support/lsan.supp) can name exactly what they pass over.
test-san: setup
	CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTIDEBLOOM_SANITIZE=ON \
	    -DTIDEBLOOM_BENCH=OFF -DCMAKE_CXX_FLAGS=-O1 $(WERROR)
	cmake --build $(SAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp \
	    UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) --test-dir $(SAN_BUILD)

test-tsan: setup
	cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTIDEBLOOM_TSAN=ON \
	    -DTIDEBLOOM_BENCH=OFF -DCMAKE_CXX_FLAGS=-O1 $(WERROR)
	cmake --build $(TSAN_BUILD) --target tsan_tests
	TSAN_OPTIONS=halt_on_error=1 $(CTEST) --test-dir $(TSAN_BUILD) -L tsan

# The fuzzers' own output (progress and final statistics) is shown, as each runs its full time.
test-fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	    -DTIDEBLOOM_FUZZ=ON -DTIDEBLOOM_FUZZ_SECONDS=$(FUZZ_SECONDS) -DTIDEBLOOM_TESTS=OFF -DTIDEBLOOM_BENCH=OFF $(WERROR)
	cmake --build $(FUZZ_BUILD) --target fuzz_tests
	$(CTEST) --test-dir $(FUZZ_BUILD) -L fuzz --verbose

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

# `make install` and `make uninstall` into a temporary home and a temporary DESTDIR, from $(BUILD) as
# test-plain left it.
test-install:
	scripts/test-install $(BUILD)

bench: build
	@for b in $$(find $(BUILD)/bench -type f -executable -name 'bench_*' | sort); do echo "== $$b"; $$b; done

# `make install` puts Tidebloom.so and TidebloomPrecise.so into ~/.vst, the VST 3 bundles Tidebloom.vst3
# and TidebloomPrecise.vst3 into ~/.vst3, the LV2 bundles Tidebloom.lv2 and TidebloomPrecise.lv2 into
# ~/.lv2, Tidebloom.clap into ~/.clap and tidebloom-host into ~/.local/bin (its manual page, when the
# build made one, into ~/.local/share/man/man1) for the current user; `make install PREFIX=/usr/local`
# installs into PREFIX/lib/vst, PREFIX/lib/vst3, PREFIX/lib/lv2, PREFIX/lib/clap, PREFIX/bin and
# PREFIX/share/man/man1 (DESTDIR works). The plug-ins and the host are installed stripped. `make
# uninstall` with the same PREFIX and DESTDIR removes what `make install` installs there, and leaves the
# folders they were in.
PREFIX ?=
# The plug-ins: each is <name>.so for VST 2, the bundle <name>.vst3 for VST 3 (its module in
# VST3_CONTENTS) and the bundle <name>.lv2 for LV2.
PLUGINS := Tidebloom TidebloomPrecise
VST3_CONTENTS := Contents/x86_64-linux
ifeq ($(strip $(PREFIX)),)
VST_DIR := $(HOME)/.vst
VST3_DIR := $(HOME)/.vst3
LV2_DIR := $(HOME)/.lv2
CLAP_DIR := $(HOME)/.clap
BIN_DIR := $(HOME)/.local/bin
MAN_DIR := $(HOME)/.local/share/man/man1
else
VST_DIR := $(PREFIX)/lib/vst
VST3_DIR := $(PREFIX)/lib/vst3
LV2_DIR := $(PREFIX)/lib/lv2
CLAP_DIR := $(PREFIX)/lib/clap
BIN_DIR := $(PREFIX)/bin
MAN_DIR := $(PREFIX)/share/man/man1
endif
install: shipped
ifeq ($(strip $(PREFIX)),)
	@host=$$(sed -n 1p $(BUILD)/tidebloom-paths.txt); man=$$(sed -n 3p $(BUILD)/tidebloom-paths.txt); \
	for p in $(PLUGINS); do \
	    lv2="$(DESTDIR)$(LV2_DIR)/$$p.lv2"; vst3="$$p.vst3/$(VST3_CONTENTS)/$$p.so"; \
	    install -D -s -m 755 "$(BUILD)/$$p.so" "$(DESTDIR)$(VST_DIR)/$$p.so" && \
	    install -D -s -m 755 "$(BUILD)/vst3/$$vst3" "$(DESTDIR)$(VST3_DIR)/$$vst3" && \
	    rm -rf "$$lv2" && install -d "$$lv2" && \
	    install -m 644 $(BUILD)/lv2/$$p.lv2/*.ttl "$$lv2/" && install -s -m 755 $(BUILD)/lv2/$$p.lv2/*.so "$$lv2/" || exit 1; \
	done && \
	install -D -s -m 755 "$(BUILD)/clap/Tidebloom.clap" "$(DESTDIR)$(CLAP_DIR)/Tidebloom.clap" && \
	install -D -s -m 755 "$$host" "$(DESTDIR)$(BIN_DIR)/tidebloom-host" && \
	if [ -n "$$man" ]; then install -D -m 644 "$$man" "$(DESTDIR)$(MAN_DIR)/tidebloom-host.1.gz"; fi && \
	echo "install: $(foreach p,$(PLUGINS),$(DESTDIR)$(VST_DIR)/$(p).so, $(DESTDIR)$(VST3_DIR)/$(p).vst3, $(DESTDIR)$(LV2_DIR)/$(p).lv2,) $(DESTDIR)$(CLAP_DIR)/Tidebloom.clap and $(DESTDIR)$(BIN_DIR)/tidebloom-host"
else
	cmake --install $(BUILD) --prefix $(PREFIX) --strip
endif
	@case ":$$PATH:" in *":$(BIN_DIR):"* | *":$(BIN_DIR)/:"*) ;; \
	*) echo "install: $(BIN_DIR) is not on PATH: add it there, or run $(BIN_DIR)/tidebloom-host";; esac

uninstall:
	@removed=""; \
	for f in $(foreach p,$(PLUGINS),"$(DESTDIR)$(VST_DIR)/$(p).so" "$(DESTDIR)$(VST3_DIR)/$(p).vst3/$(VST3_CONTENTS)/$(p).so" \
	             "$(DESTDIR)$(LV2_DIR)/$(p).lv2/$(p).so" "$(DESTDIR)$(LV2_DIR)/$(p).lv2/$(p)UI.so" \
	             "$(DESTDIR)$(LV2_DIR)/$(p).lv2"/*.ttl) \
	         "$(DESTDIR)$(CLAP_DIR)/Tidebloom.clap" "$(DESTDIR)$(BIN_DIR)/tidebloom-host" \
	         "$(DESTDIR)$(MAN_DIR)/tidebloom-host.1.gz"; do \
	    if [ -f "$$f" ] || [ -L "$$f" ]; then rm -f "$$f" || exit 1; removed="$$removed $$f"; fi; \
	done; \
	kept=""; \
	for d in $(foreach p,$(PLUGINS),"$(DESTDIR)$(LV2_DIR)/$(p).lv2" "$(DESTDIR)$(VST3_DIR)/$(p).vst3/$(VST3_CONTENTS)" \
	             "$(DESTDIR)$(VST3_DIR)/$(p).vst3/Contents" "$(DESTDIR)$(VST3_DIR)/$(p).vst3"); do \
	    [ -d "$$d" ] || continue; \
	    if rmdir "$$d" 2>/dev/null; then removed="$$removed $$d"; continue; fi; \
	    case "$$kept" in "$$d"/*) ;; *) echo "uninstall: $$d holds files Tidebloom does not install; it stays";; esac; \
	    kept="$$d"; \
	done; \
	echo "uninstall: removed$${removed:- nothing: Tidebloom is not installed there}"

format:
	find . \( -path ./build\* -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print \
	    | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD) out

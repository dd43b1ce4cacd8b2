# The one entry point. Every target installs and builds what it needs first.
#   make run     build and start the program
#   make test    build (with AddressSanitizer and UBSan) and run every test, then
#                make test-windows when its packages are there or can be installed
#   make test-windows  cross-build for Windows into build-windows/ and run the tests under Wine
#   make build   build into build/, programs in build/bin/
#   make bench   build optimised and run the benchmarks
#   make fuzz    build the fuzz targets with clang and run each for FUZZ_SECONDS (default 60)
#   make reliability  the full power-loss and I/O-error matrix and the full stress run (the
#                test tree's build)
#   make deps    install the Debian packages the project needs, when missing

JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE    ?= cmake
BUILD    := build
TESTDIR  := build-test
FUZZDIR  := build-fuzz
WINDIR   := build-windows
GEN_ARGS := -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
ifeq ($(CI),true)
GEN_ARGS += -DORVEL_WERROR=ON
endif

DEB_PACKAGES := g++ cmake make libgtest-dev googletest qt6-base-dev xvfb xauth \
                fonts-dejavu-core libsqlite3-dev

# libFuzzer and the sanitizers come with clang; only make fuzz needs them.
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
# The Windows cross-build and Wine to run its programs; only make test-windows needs them.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine wine64
# SKIP_WINDOWS=1 keeps make test to the Linux build.
SKIP_WINDOWS ?=

FUZZ_SECONDS  ?= 60
FUZZ_ARGS     ?= -max_len=16384 -timeout=20
# Every fuzz/fuzz_NAME.cc is a target of that name.
FUZZ_TARGETS  := $(basename $(notdir $(wildcard fuzz/fuzz_*.cc)))

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps fuzz-deps windows-deps build test test-windows run bench fuzz reliability clean

all: build

# The Debian packages of the list $(1) that are missing, installed.
define install_missing
	@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(DEB_PACKAGES))

fuzz-deps:
	$(call install_missing,$(FUZZ_PACKAGES))

windows-deps:
	$(call install_missing,$(WINDOWS_PACKAGES))

$(BUILD)/CMakeCache.txt: | deps
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(GEN_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	$(CMAKE) --build $(BUILD) -j $(JOBS)

$(TESTDIR)/CMakeCache.txt: | deps
	$(CMAKE) -S . -B $(TESTDIR) -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=ON $(GEN_ARGS)

test: deps $(TESTDIR)/CMakeCache.txt
	$(CMAKE) --build $(TESTDIR) -j $(JOBS)
	cd $(TESTDIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
ifneq ($(SKIP_WINDOWS),1)
	@if $(MAKE) --no-print-directory windows-deps; then \
	  $(MAKE) --no-print-directory test-windows; \
	else echo "The Windows build is left out: its packages cannot be installed here."; fi
endif

# Optimised lightly and without debug information, which makes the static links slow; checks
# stay on. The Qt windows are not part of it.
$(WINDIR)/CMakeCache.txt: | windows-deps
	$(CMAKE) -S . -B $(WINDIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O1 -DCMAKE_C_FLAGS_DEBUG=-O1 $(GEN_ARGS)

# The tests under Wine in a prefix of their own, created and removed here. The wineserver is
# started before ctest and stopped after it: one that ctest started would keep its pipes open
# and hold the run. Then the Linux and Windows programs read each other's files.
test-windows: deps windows-deps $(WINDIR)/CMakeCache.txt $(TESTDIR)/CMakeCache.txt
	$(CMAKE) --build $(WINDIR) -j $(JOBS)
	$(CMAKE) --build $(TESTDIR) -j $(JOBS) --target orvel-cli hvk
	@prefix=$$(mktemp -d "$${TMPDIR:-/tmp}/orvel-wine-XXXXXX") && \
	export WINEPREFIX="$$prefix" WINEDEBUG=-all && \
	trap 'wineserver -k </dev/null >/dev/null 2>&1; rm -rf "$$prefix"' EXIT && \
	wineserver -p </dev/null >/dev/null 2>&1 && \
	wine wineboot </dev/null >/dev/null 2>&1 && \
	(cd $(WINDIR) && ctest --output-on-failure -j $(JOBS) --timeout 600) && \
	tools/tests/cross_platform_files.sh $(TESTDIR)/bin $(WINDIR)/bin

# Every outcome of a power loss and every kind of failing file call at every point of every
# writing operation, and the stress run at full size (8 programs, killed every few seconds);
# make test tries one of each per point and a small stress run.
reliability: deps $(TESTDIR)/CMakeCache.txt
	$(CMAKE) --build $(TESTDIR) -j $(JOBS) --target datafile_reliability_tests datafile_stress_tests
	cd $(TESTDIR) && ORVEL_RELIABILITY=full ctest --output-on-failure -j $(JOBS) \
	  -R 'PowerLossMatrix|IoErrorMatrix|StressRun'

# The windows when they are built, else the command-line tool, else a word on what there is.
run: build
	@if [ -x $(BUILD)/bin/orvel ]; then ./$(BUILD)/bin/orvel $(ARGS); \
	elif [ -x $(BUILD)/bin/orvel-cli ]; then ./$(BUILD)/bin/orvel-cli $(ARGS); \
	else echo "No program to run yet: the engine and the windows are still being built."; \
	  echo "Programs built so far:"; ls $(BUILD)/bin; fi

# Every benchmark program, one after the other.
bench: build
	@for b in $(BUILD)/bin/orvel-bench*; do echo "== $$b"; $$b $(BENCH_ARGS) || exit 1; done

$(FUZZDIR)/CMakeCache.txt: | deps fuzz-deps
	$(CMAKE) -S . -B $(FUZZDIR) -DORVEL_FUZZ=ON -DORVEL_TESTS=OFF -DORVEL_GUI=OFF \
	  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14

# Each target in turn on a scratch copy of its corpus, so that the inputs it finds stay out
# of the repository; crashes and other findings are kept in build-fuzz/findings/.
fuzz: deps fuzz-deps $(FUZZDIR)/CMakeCache.txt
	$(CMAKE) --build $(FUZZDIR) -j $(JOBS) --target orvel_fuzzers
	@mkdir -p $(FUZZDIR)/findings; \
	scratch=$$(mktemp -d) && trap 'rm -rf "$$scratch"' EXIT && \
	for t in $(FUZZ_TARGETS); do \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  cp -r fuzz/corpus/$$t "$$scratch/$$t" && \
	  $(FUZZDIR)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) $(FUZZ_ARGS) \
	    -artifact_prefix=$(FUZZDIR)/findings/$$t- "$$scratch/$$t" || \
	    { echo "$$t: finding kept in $(FUZZDIR)/findings/"; exit 1; }; \
	done

clean:
	rm -rf $(BUILD) $(TESTDIR) $(FUZZDIR) $(WINDIR)

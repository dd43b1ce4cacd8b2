# The one entry point. Every target installs and builds what it needs first.
#   make run     build and start the program
#   make test    build (with AddressSanitizer and UBSan) and run every test
#   make build   build into build/, programs in build/bin/
#   make bench   build optimised and run the benchmarks
#   make deps    install the Debian packages the project needs, when missing

JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE    ?= cmake
BUILD    := build
TESTDIR  := build-test
GEN_ARGS := -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
ifeq ($(CI),true)
GEN_ARGS += -DORVEL_WERROR=ON
endif

DEB_PACKAGES := g++ cmake make libgtest-dev googletest qt6-base-dev xvfb xauth \
                fonts-dejavu-core libsqlite3-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test run bench clean

all: build

deps:
	@missing=$$(for p in $(DEB_PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(GEN_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	$(CMAKE) --build $(BUILD) -j $(JOBS)

$(TESTDIR)/CMakeCache.txt: | deps
	$(CMAKE) -S . -B $(TESTDIR) -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=ON $(GEN_ARGS)

test: deps $(TESTDIR)/CMakeCache.txt
	$(CMAKE) --build $(TESTDIR) -j $(JOBS)
	cd $(TESTDIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The windows when they are built, else the command-line tool, else a word on what there is.
run: build
	@if [ -x $(BUILD)/bin/orvel ]; then ./$(BUILD)/bin/orvel $(ARGS); \
	elif [ -x $(BUILD)/bin/orvel-cli ]; then ./$(BUILD)/bin/orvel-cli $(ARGS); \
	else echo "No program to run yet: the engine and the windows are still being built."; \
	  echo "Programs built so far:"; ls $(BUILD)/bin; fi

# Every benchmark program, one after the other.
bench: build
	@for b in $(BUILD)/bin/orvel-bench*; do echo "== $$b"; $$b $(BENCH_ARGS) || exit 1; done

clean:
	rm -rf $(BUILD) $(TESTDIR)

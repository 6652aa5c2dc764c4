# The README's commands. `make test` and `make check` install what is
# missing (as root, through apt-get), configure, build and run the tests.

BUILD ?= build
CHECK_BUILD ?= build-check
JOBS ?= $(shell nproc)
PACKAGES := cmake ninja-build g++ pkg-config zlib1g-dev libgtest-dev libbenchmark-dev libcli11-dev
EXAMPLE ?= examples/pipeline.morva

.PHONY: all deps configure build test check run install clean format

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages:$$missing (run as root, or install them)"; exit 1; \
	  fi; \
	fi

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(CHECK_BUILD)/build.ninja: | deps
	cmake -S . -B $(CHECK_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVA_SANITIZE=ON -DMORVA_BENCH=OFF

check: $(CHECK_BUILD)/build.ninja
	cmake --build $(CHECK_BUILD) -j $(JOBS)
	cd $(CHECK_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -x $(BUILD)/src/tools/morva ]; then $(BUILD)/src/tools/morva $(EXAMPLE); \
	else echo "The morva command line is not built yet: it will load $(EXAMPLE)"; fi

install: build
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf $(BUILD) $(CHECK_BUILD)

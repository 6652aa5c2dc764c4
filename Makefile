# The README's commands. `make test` and `make check` install what is
# missing (as root, through apt-get), configure, build and run the tests.

BUILD ?= build
CHECK_BUILD ?= build-check
JOBS ?= $(shell nproc)
PACKAGES := cmake ninja-build g++ pkg-config zlib1g-dev libgtest-dev libbenchmark-dev libcli11-dev \
            nlohmann-json3-dev pybind11-dev python3-dev python3-numpy python3-pytest tcl-dev
EXAMPLE ?= examples/pipeline.morva
MORVA_ARGS ?=
# `make fuzz`: clang with libFuzzer, in a build of its own. Clang 16, since
# std::source_location needs clang 15 or later; its libFuzzer runtime is in
# libclang-rt-16-dev, which clang-16 only recommends.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 120
# Seconds one input may take. The fuzzing build runs 50 to 80 times slower
# than a release build: 30 s stands for about half a second of real work.
FUZZ_TIMEOUT ?= 30
FUZZ_CC ?= clang-16
FUZZ_CXX ?= clang++-16
FUZZ_PACKAGES := clang-16 libclang-rt-16-dev

# `make bench`: the stage benchmark (bench/morva-bench) on generated designs
# of 10^4, 10^5 and 10^6 edges, then the reading speed of the design readers
# (bench/ImportBench), in an optimised build of its own. Other
# sizes or runs: make bench BENCH_ARGS="--sizes 20000,200000 --repetitions 5".
BENCH_BUILD ?= build-bench
BENCH_ARGS ?=

# The browser test of the HTML report (skipped without a browser) and
# `make screenshot` use Debian's chromium, headless. `make test` installs it
# where it can and goes on without it.
BROWSER_PACKAGES := chromium
SCREENSHOT_EXAMPLE ?= examples/io_delays.morva

.PHONY: all deps browser configure build test check fuzz bench run screenshot install clean format

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

browser:
	@command -v chromium >/dev/null 2>&1 || $(MAKE) --no-print-directory deps PACKAGES="$(BROWSER_PACKAGES)" || \
	  echo "chromium could not be installed: the browser test will be skipped"

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build browser
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(CHECK_BUILD)/build.ninja: | deps
	cmake -S . -B $(CHECK_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVA_SANITIZE=ON -DMORVA_BENCH=OFF

check: $(CHECK_BUILD)/build.ninja
	cmake --build $(CHECK_BUILD) -j $(JOBS)
	cd $(CHECK_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Fuzzes the archive loader and the analysis for FUZZ_SECONDS. New inputs go
# to $(FUZZ_BUILD)/corpus (the seeds in fuzz/corpus are only read), crashing
# inputs to $(FUZZ_BUILD)/artifacts; any finding makes libFuzzer fail.
$(FUZZ_BUILD)/build.ninja:
	$(MAKE) deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	CC=$(FUZZ_CC) CXX=$(FUZZ_CXX) cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DMORVA_FUZZ=ON -DMORVA_TESTS=OFF -DMORVA_BENCH=OFF

fuzz: $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target ArchiveFuzz
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/artifacts
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  $(FUZZ_BUILD)/fuzz/ArchiveFuzz $(FUZZ_BUILD)/corpus fuzz/corpus \
	  -dict=fuzz/archive.dict -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=$(FUZZ_TIMEOUT) \
	  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/artifacts/

$(BENCH_BUILD)/build.ninja: | deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVA_TESTS=OFF -DMORVA_BENCH=ON

bench: $(BENCH_BUILD)/build.ninja
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target morva-bench morva-gen morva microbenchmarks
	$(BENCH_BUILD)/bench/morva-bench $(BENCH_ARGS)
	$(BENCH_BUILD)/bench/ImportBench

# `make mutate`: mutation testing of src/lib and src/host (tests/mutate.py)
# in a build of its own: MUTANTS mutants drawn with SEED, or MUTANTS=all;
# more options of the script in MUTATE_ARGS (for instance
# MUTATE_ARGS="--results before.tsv", or "--rerun before.tsv").
MUTATE_BUILD ?= build-mutate
MUTANTS ?= 150
SEED ?= 1
MUTATE_ARGS ?=
$(MUTATE_BUILD)/build.ninja: | deps
	cmake -S . -B $(MUTATE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVA_BENCH=OFF \
	  -DMORVA_PYTHON=OFF

mutate: $(MUTATE_BUILD)/build.ninja
	cmake --build $(MUTATE_BUILD) -j $(JOBS)
	python3 tests/mutate.py --build $(MUTATE_BUILD) --mutants $(MUTANTS) --seed $(SEED) $(MUTATE_ARGS)

# Analyses the example and prints its reports, for instance
# make run EXAMPLE=examples/two_clocks.morva MORVA_ARGS="--compact --detail".
# Builds only the command line and the libraries it links.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target morva
	$(BUILD)/src/tools/morva $(MORVA_ARGS) $(EXAMPLE)

# docs/report.png: the HTML report of the example, 1280 pixels wide, as
# headless Chromium draws it.
screenshot: build browser
	$(BUILD)/src/tools/morva -q --html $(BUILD)/report.html $(SCREENSHOT_EXAMPLE) >/dev/null
	chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1280,1800 \
	  --screenshot=$(CURDIR)/docs/report.png file://$(abspath $(BUILD))/report.html

install: build
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf $(BUILD) $(CHECK_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(MUTATE_BUILD)

# Pictorra: the two commands a newcomer needs are `make run` and `make test`.
BUILD      ?= build
GENERATOR  ?= Ninja
JOBS       ?= $(shell nproc)
PREFIX     ?= $(HOME)/.local
FUZZ_SECONDS ?= 600

CONFIGURE = cmake -S . -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps build run screenshots test bench sanitize fuzz install clean format format-check

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/build.ninja: | deps
	$(CONFIGURE) -B $(BUILD) -DPICTORRA_WERROR=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Starts the program; `make run ARGS=path` opens a picture or folder with it.
run: build
	@tools/run.sh $(BUILD) $(ARGS)

# Pictures of every window at scale 1 and 1.5 in $(BUILD)/screenshots, taken under Xvfb.
screenshots: build
	@tools/screenshots.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps
	$(CONFIGURE) -B $(BUILD)-bench -DPICTORRA_BENCH=ON -DPICTORRA_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)
	$(BUILD)-bench/bench/pictorra_bench --benchmark_counters_tabular=true
	XDG_CONFIG_HOME=$$(mktemp -d) $(BUILD)-bench/bench/pictorra_ui_bench

sanitize: deps
	$(CONFIGURE) -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPICTORRA_SANITIZE=ON -DPICTORRA_WERROR=ON
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

fuzz:
	@tools/install-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -G $(GENERATOR) -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPICTORRA_FUZZ=ON -DPICTORRA_TESTS=OFF
	cmake --build $(BUILD)-fuzz -j $(JOBS)
	tools/fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

SOURCES = git ls-files -z '*.cpp' '*.h'

format: deps
	$(SOURCES) | xargs -0 clang-format -i

# Fails, naming every place, when a source file is not formatted as `make format` leaves it.
format-check: deps
	$(SOURCES) | xargs -0 clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-sanitize $(BUILD)-fuzz

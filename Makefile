# Top-level commands. `make test` and `make demo` do all the set-up on a fresh Debian machine.
BUILD      ?= build
BUILD_SAN  ?= build-sanitize
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
WERROR     ?= ON

.PHONY: all deps build build-sanitize test test-fast test-sanitize bench demo install package clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEL_WERROR=$(WERROR)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

$(BUILD_SAN)/build.ninja:
	cmake -S . -B $(BUILD_SAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DQEL_WERROR=$(WERROR) -DQEL_SANITIZE=ON

build-sanitize: deps $(BUILD_SAN)/build.ninja
	cmake --build $(BUILD_SAN) -j $(JOBS)

# Every test, in the normal build and again under AddressSanitizer and UBSan.
test: test-fast test-sanitize

test-fast: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 300

test-sanitize: build-sanitize
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS) --timeout 600

# The measurements: QEL-1 reception latency, what QEL-1M polling costs the window, how soon a
# returning device is served again, start-up and save with a huge settings file (also of the
# settings window, against one reading of the file), what a
# line costs the diagnostics list at 200 000 lines, filling in a report template with
# 200 000 placeholders, the report's cost with a 5 MB template, and hostile report
# templates: time, peak memory and the end after a termination signal.
bench: build
	$(BUILD)/bin/qel1_latency_bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/qel1m_poll_benchmark
	$(BUILD)/bin/qel1_reconnect_bench
	$(BUILD)/bin/qel1_idle_bench
	$(BUILD)/bin/settings_file_bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/settings_startup_benchmark
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/diagnostics_list_benchmark
	$(BUILD)/bin/replace_text_bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/report_template_benchmark
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/report_hostile_template_benchmark

# Only what the demo runs: the program (with its template and help text) and the simulator.
demo: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target qel1-agent qel-sim
	bash scripts/demo.sh $(BUILD)

install: build
	cmake --install $(BUILD)

# The .deb and the .rpm, into $(BUILD)/packages/.
package: build
	cd $(BUILD) && cpack

clean:
	rm -rf $(BUILD) $(BUILD_SAN)

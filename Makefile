# The two commands of the README, and a few more for developers.
.PHONY: deps build run test test-sanitize bench clean package test-package fuzz-smoke fuzz-program

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

run: build
	@bash scripts/run.sh

test: build
	@ctest --preset default

# The Debian package build/default/oculant_<version>_<arch>.deb, and its check.
package: build
	@cmake --build --preset default --target package

test-package: build
	@bash scripts/check-package.sh build/default

test-sanitize: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan --target test_link test_backends test_faults test_signal test_cli test_gui
	@TSAN_OPTIONS="suppressions=$(CURDIR)/tests/sanitizers/tsan-qt.supp $$TSAN_OPTIONS" ctest --preset tsan -L 'threaded|window'

# Every fuzz target for 30 s on a scratch copy of its seed corpus, then the whole program; fails
# on any finding.
fuzz-smoke: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@bash scripts/fuzz-smoke.sh build/fuzz 30
	@$(MAKE) --no-print-directory fuzz-program

# Every command of oculant-cli (built with the sanitizers) on generated hostile input, for
# FUZZ_PROGRAM_SECONDS (120) from seed FUZZ_PROGRAM_SEED (1); findings in build/fuzz/fuzz-program-findings.
FUZZ_PROGRAM_SECONDS ?= 120
FUZZ_PROGRAM_SEED ?= 1
fuzz-program: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --target oculant-cli
	@python3 scripts/fuzz-program.py --cli build/fuzz/oculant-cli --seconds $(FUZZ_PROGRAM_SECONDS) \
	  --seed $(FUZZ_PROGRAM_SEED)

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@for b in build/bench/bench/bench_*; do $$b; done

clean:
	rm -rf build

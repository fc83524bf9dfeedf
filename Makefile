# The two commands of the README, and a few more for developers.
.PHONY: deps build run test test-sanitize bench clean package test-package fuzz-smoke

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
	@cmake --build --preset tsan --target test_link test_backends test_faults test_signal
	@ctest --preset tsan -R '^(HIDTalk|Worker|Session|Fault|AdLog)'

# Every fuzz target for 30 s on a scratch copy of its seed corpus; fails on any finding.
fuzz-smoke: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@bash scripts/fuzz-smoke.sh build/fuzz 30

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@for b in build/bench/bench/bench_*; do $$b; done

clean:
	rm -rf build

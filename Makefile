# The two commands of the README, and a few more for developers.
.PHONY: deps build run test test-sanitize bench clean

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

run: build
	@bash scripts/run.sh

test: build
	@ctest --preset default

test-sanitize: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan --target test_device
	@ctest --preset tsan -R '^(HIDTalk|Worker|Session)'

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@for b in build/bench/bench/bench_*; do $$b; done

clean:
	rm -rf build

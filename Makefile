# Quick start: `make demo` runs the main job, `make test` runs every test.
# Both install missing Debian packages first (scripts/deps.sh).
.PHONY: demo test bench clean

demo:
	scripts/demo.sh

test:
	scripts/test.sh

bench:
	scripts/bench.sh

clean:
	rm -rf build

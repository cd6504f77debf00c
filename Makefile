# Entry points; each does all set-up it needs first.
.PHONY: setup build test run bench dist fuzz coverage mutants format

setup:
	tools/setup.sh

build: setup
	tools/build.sh

test: setup
	tools/test.sh

run: setup
	tools/run.sh $(ARGS)

bench: setup
	tools/bench.sh

dist: setup
	tools/dist.sh

fuzz: setup
	fuzz/run.sh

coverage: setup
	tools/coverage.sh

mutants: setup
	/usr/bin/python3 tools/mutants.py

format:
	tools/format.sh

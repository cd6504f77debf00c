# Entry points; each does all set-up it needs first.
.PHONY: setup build test run bench fuzz format

setup:
	tools/setup.sh

build: setup
	for p in native win32 win64; do cmake --preset $$p >/dev/null && cmake --build --preset $$p -j$$(nproc) || exit 1; done

test: setup
	tools/test.sh

run: setup
	tools/run.sh $(ARGS)

bench: setup
	tools/bench.sh

fuzz: setup
	fuzz/run.sh

format:
	find Shared launch tests bench sample fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

# Top-level entry points. Each build lives in its own CMake tree under build/.
#   make deps   install what builds and tests need (Debian 12, as root; does nothing when all is there)
#   make build  native build with the simulated desktop, build/win32/Tavix.exe, build/win64/Tavix.exe
#   make test   every test through ctest (labels unit and e2e), then a 30 s smoke of each fuzz target
#   make demo   the whole job under Wine: explorer selection to clipboard and to a program; build/demo/
#   make bench  times Tavix.exe under Wine: 100 to 100,000 items, and the whole run against a floor
#   make fuzz   each fuzz target for FUZZ_SECONDS seconds (default 60), or for FUZZ_RUNS executions
#   make dist   build/dist/Tavix-VERSION.zip: both exes, the sample settings and the docs

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
# make test ends with a short run of every fuzz target.
SMOKE_SECONDS ?= 30

.PHONY: deps build native win32 win64 test demo bench fuzz dist clean

deps:
	@bash scripts/deps.sh

build: native win32 win64

native:
	cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/native -j $(JOBS)

win32:
	cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake >/dev/null
	cmake --build build/win32 -j $(JOBS)

win64:
	cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake >/dev/null
	cmake --build build/win64 -j $(JOBS)

test: deps
	$(MAKE) build
	cd build/native && ctest --output-on-failure -j 2
	FUZZ_SECONDS=$(SMOKE_SECONDS) JOBS=$(JOBS) bash scripts/fuzz-smoke.sh build/fuzz

demo: deps
	$(MAKE) win32 win64
	python3 e2e/demo.py

bench: deps
	$(MAKE) win32 win64
	python3 e2e/bench.py

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash scripts/fuzz-smoke.sh build/fuzz

dist: deps
	$(MAKE) win32 win64
	python3 scripts/make-dist.py

clean:
	rm -rf build/native build/win32 build/win64 build/fuzz build/demo build/dist

# The two commands of the README:
#   make run    installs what is needed, builds (Release) and starts the program in run/
#   make test   installs what is needed, builds and runs every test through CTest
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 300

.PHONY: deps configure build run test test-asan fuzz bench package clean

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	mkdir -p run
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found: starting on Qt's VNC platform."; \
	  echo "Connect a VNC viewer to localhost:5900 (for example: vncviewer localhost:5900)."; \
	  cd run && QT_QPA_PLATFORM=vnc:size=1024x768:port=5900 ../$(BUILD)/vorn --home .; \
	else \
	  cd run && ../$(BUILD)/vorn --home .; \
	fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE=ON -DVORN_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j $(JOBS)

# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS (all of them, or the
# ones named in FUZZ_TARGETS, e.g. FUZZ_TARGETS="fuzz_jpeg fuzz_gif"). A crashing input is kept
# in fuzz/regressions/<target>/, which the normal test run replays.
FUZZ_TARGETS ?=
fuzz: deps
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for f in $(if $(FUZZ_TARGETS),$(addprefix $(FUZZ_BUILD)/,$(FUZZ_TARGETS)),$(FUZZ_BUILD)/fuzz_*); do \
	  if [ ! -f "$$f" ] || [ ! -x "$$f" ]; then \
	    [ -z "$(FUZZ_TARGETS)" ] && continue; echo "no fuzz target $$f"; exit 1; \
	  fi; n=$$(basename $$f); \
	  seeds=fuzz/corpus/$$n; \
	  if [ -f fuzz/seeds/$$n.sh ]; then seeds=$(FUZZ_BUILD)/fuzz-seeds/$$n; mkdir -p $$seeds; bash fuzz/seeds/$$n.sh $$seeds || exit 1; fi; \
	  [ -d $$seeds ] || { echo "no seed folder $$seeds"; exit 1; }; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$n fuzz/regressions/$$n; \
	  echo "== $$n for $(FUZZ_SECONDS) s"; \
	  LSAN_OPTIONS=suppressions=fuzz/lsan.supp $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=fuzz/regressions/$$n/ \
	    $(FUZZ_BUILD)/corpus/$$n $$seeds > $(FUZZ_BUILD)/$$n.log 2>&1; rc=$$?; \
	  tail -12 $(FUZZ_BUILD)/$$n.log; [ $$rc -eq 0 ] || exit 1; \
	done

# Runs every benchmark (on the offscreen platform unless QT_QPA_PLATFORM names another, e.g.
# QT_QPA_PLATFORM=xcb to include what needs a display), keeps their output in
# $(BUILD)/bench-logs/ and ends with one table of every figure against its goal.
bench: build
	@rm -rf $(BUILD)/bench-logs; mkdir -p $(BUILD)/bench-logs; \
	for b in $(BUILD)/bench_*; do \
	  if [ -f "$$b" ] && [ -x "$$b" ]; then \
	    n=$$(basename $$b); echo "== $$n"; \
	    QT_QPA_PLATFORM=$${QT_QPA_PLATFORM:-offscreen} $$b > $(BUILD)/bench-logs/$$n.log 2>&1; rc=$$?; \
	    grep -v '^BENCHROW' $(BUILD)/bench-logs/$$n.log; \
	    [ $$rc -eq 0 ] || printf 'BENCHFAIL\t%s\t%s\n' $$n $$rc >> $(BUILD)/bench-logs/$$n.log; \
	  fi; \
	done; \
	bash scripts/bench-table.sh $(BUILD)/bench-logs/*.log

# A Debian package of the program (CPack; dependencies computed by dpkg-shlibdeps):
# install it with  sudo apt-get install ./build/vorn_*.deb
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

# The two commands of the README:
#   make run   installs what is missing, builds, and starts Tivrel in examples/
#   make test  installs what is missing, builds, and runs every test
BUILD_DIR   ?= build
CMAKE_FLAGS ?=
JOBS        ?= $(shell nproc)

.PHONY: run test build deps clean install screenshots test-sanitize test-tsan fuzz fuzz-deps

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	cd examples && ../$(BUILD_DIR)/tivrel

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# make install [PREFIX=/usr/local] [DESTDIR=staging]: the program, its menu
# entry, icon and man page (cmake/install.cmake).
PREFIX      ?= /usr/local

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The README's pictures in docs/, taken from the real program under Xvfb.
screenshots: build
	scripts/install-deps.sh xvfb xdotool imagemagick
	scripts/screenshots.sh $(BUILD_DIR)/tivrel

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(FUZZ_DIR)

# Reliability checks that CI runs after `make test`:
#   make test-sanitize  every test, built with AddressSanitizer and
#                       UndefinedBehaviorSanitizer, in build-asan/
#   make test-tsan      the read cases in tiny chunks on three threads,
#                       built with ThreadSanitizer, in build-tsan/
#   make fuzz           the reader's libFuzzer targets (fuzz/), built with
#                       clang in build-fuzz/, each run for FUZZ_SECONDS
SANITIZE_DIR ?= build-asan
TSAN_DIR     ?= build-tsan
TSAN_TESTS   ?= test_readcases
FUZZ_DIR     ?= build-fuzz
FUZZ_SECONDS ?= 15

# A sanitizer report ends the process with status 86, which the program never
# uses, so a report in a child process also fails the test that expects its
# 0 or 1. Leaks inside third-party libraries are listed in tests/lsan.supp.
SANITIZER_ENV = ASAN_OPTIONS=exitcode=86:detect_leaks=1 \
	UBSAN_OPTIONS=exitcode=86:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DTIVREL_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# A data race reported ends the test with status 66; races inside Qt, which
# is not built with the sanitizer, are listed in tests/tsan.supp.
test-tsan: deps
	cmake -S . -B $(TSAN_DIR) -DTIVREL_TSAN=ON $(CMAKE_FLAGS)
	cmake --build $(TSAN_DIR) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_DIR) && TSAN_OPTIONS=exitcode=66:halt_on_error=1:suppressions=$(CURDIR)/tests/tsan.supp TIVREL_THREADED_FORMS_ONLY=1 \
		QT_QPA_PLATFORM=offscreen \
		ctest --output-on-failure -j $(JOBS) -R '^($(subst $(eval) ,|,$(TSAN_TESTS)))$$'

fuzz-deps:
	scripts/install-deps.sh clang libclang-rt-14-dev

# Runs one fuzz target: $(1) the target, $(2) its seed corpus, $(3) its own
# options. New inputs go to the first corpus directory, the one in the build
# directory; the seeds are only read. A crash, a leak, a sanitizer report or
# an input slower than 10 s fails, and the input is kept in
# $(FUZZ_DIR)/findings/.
define run_fuzzer
	@echo "fuzz: $(1) for $(FUZZ_SECONDS) s"
	@mkdir -p $(FUZZ_DIR)/corpus/$(1) $(FUZZ_DIR)/findings
	@$(SANITIZER_ENV) $(FUZZ_DIR)/$(1) -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
		-artifact_prefix=$(FUZZ_DIR)/findings/ $(3) $(FUZZ_DIR)/corpus/$(1) $(2) \
		> $(FUZZ_DIR)/$(1).log 2>&1 \
		|| { tail -n 60 $(FUZZ_DIR)/$(1).log; echo "fuzz: $(1) failed, see $(FUZZ_DIR)/findings/"; exit 1; }
	@grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' $(FUZZ_DIR)/$(1).log
endef

fuzz: fuzz-deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=clang++ -DTIVREL_FUZZ=ON -DTIVREL_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_reader fuzz_numbers fuzz_linereader fuzz_painters
	$(call run_fuzzer,fuzz_reader,fuzz/corpus/reader,-max_len=4096 -dict=fuzz/reader.dict)
	$(call run_fuzzer,fuzz_numbers,fuzz/corpus/numbers,-max_len=128)
	$(call run_fuzzer,fuzz_linereader,fuzz/corpus/linereader fuzz/corpus/reader,-max_len=4096)
	$(call run_fuzzer,fuzz_painters,fuzz/corpus/painters,-max_len=4096)
	@echo "fuzz: 4 passed, 0 failed"

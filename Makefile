# The two commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= 2
FOLDER ?=
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test package tsan fuzz clean format

all: build

deps:
	@bash scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target velmora
	@bash scripts/velmora-run $(BUILD) "$(FOLDER)"

test: build
	@bash scripts/run-tests $(BUILD)

# A Debian package of the program in $(BUILD)/, for `sudo apt install ./$(BUILD)/velmora_*.deb`.
package: configure
	cmake --build $(BUILD) -j $(JOBS) --target package

# The loader tests under ThreadSanitizer, in a build tree of their own.
tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TSAN=ON
	# The build runs the icon renderer, itself built with the sanitizer: Qt's own threads again.
	TSAN_OPTIONS="suppressions=$(CURDIR)/scripts/tsan.supp" cmake --build build-tsan -j $(JOBS)
	# The 10,000-picture load takes minutes under the sanitizer; the loader's races are the
	# smaller loads' to show.
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/scripts/tsan.supp" bash scripts/run-tests build-tsan -R 'Loader|ImageListThread' -E 'TenThousandPictures'

# libFuzzer targets (clang, ASan+UBSan) in build-fuzz/fuzz/; run one with e.g.
#   mkdir -p build-fuzz/corpus && build-fuzz/fuzz/fuzz_jpeg -max_total_time=300 build-fuzz/corpus tests/data
# (libFuzzer writes new inputs into the first folder only, so tests/data stays as it is)
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf $(BUILD) build-tsan build-fuzz

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

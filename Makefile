# Entry points for a fresh Debian 12 machine:
#   make run      installs what is missing, builds into build/ and starts build/bin/glimmora
#   make test     the same set-up, then every test through CTest
#   make package  the same set-up, then the Debian package build/glimmora_<version>_<arch>.deb
# All are safe to repeat; packages already present are not reinstalled. Besides them:
#   make sanitize-test  the engine, control and catalogue tests and the fuzz corpora under
#                       AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)
#   make bench          builds the benchmarks (run by hand from build/bench/)
#   make format-check   the tracked C++ sources against .clang-format (part of make test)

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
SANITIZE ?= OFF
JOBS ?= $(shell nproc)

# Build tools and libraries, then the independent tools the tests compare against.
PACKAGES := cmake ninja-build g++ pkg-config ccache \
  qt6-base-dev libgl-dev libsqlite3-dev libsodium-dev \
  libjpeg62-turbo-dev libpng-dev libtiff-dev libgif-dev \
  libheif-dev libwebp-dev libjxl-dev libraw-dev libfreetype-dev libfontconfig-dev libsane-dev libsane1 \
  libgtest-dev clang-format \
  imagemagick libjpeg-turbo-progs python3-pil sqlite3 xvfb xauth sane-utils \
  libheif-examples libavif-bin webp libjxl-tools libraw-bin \
  shared-mime-info desktop-file-utils \
  dpkg-dev file appstream man-db

.PHONY: all deps configure build run test package format-check sanitize-test bench clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DGLIMMORA_SANITIZE=$(SANITIZE) \
	  -DGLIMMORA_BENCH=OFF

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/glimmora

test: build format-check
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

format-check: deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

# UBSan stops at its first finding so that a finding fails the test that made it.
sanitize-test: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DGLIMMORA_SANITIZE=ON
	cmake --build build-asan -j $(JOBS) --target core_tests
	cd build-asan && QT_QPA_PLATFORM=offscreen \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS) -R '^(rastcore|imaging|catalogue)\.'

bench: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DGLIMMORA_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)

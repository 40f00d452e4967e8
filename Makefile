# Two entry points for a fresh Debian 12 machine:
#   make run   installs what is missing, builds into build/ and starts build/bin/glimmora
#   make test  the same set-up, then every test through CTest
# Both are safe to repeat; packages already present are not reinstalled.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
SANITIZE ?= OFF
JOBS ?= $(shell nproc)

# Build tools and libraries, then the independent tools the tests compare against.
PACKAGES := cmake ninja-build g++ pkg-config ccache \
  qt6-base-dev libgl-dev libsqlite3-dev libsodium-dev \
  libjpeg62-turbo-dev libpng-dev libtiff-dev libgif-dev \
  libheif-dev libwebp-dev libjxl-dev libraw-dev libfreetype-dev libfontconfig-dev \
  libgtest-dev libbenchmark-dev \
  imagemagick libjpeg-turbo-progs python3-pil sqlite3 xvfb xauth \
  libheif-examples libavif-bin webp libjxl-tools libraw-bin \
  shared-mime-info desktop-file-utils

.PHONY: all deps configure build run test clean

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
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DGLIMMORA_SANITIZE=$(SANITIZE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/glimmora

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)

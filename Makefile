# Set-up wrapper: CMake is the build system; this file installs what is missing and drives it.
# QT=6 builds, tests and packages with Qt 6 instead of Qt 5.15, in build-qt6/.
QT ?= 5
JOBS ?= $(shell nproc)

ifeq ($(QT),5)
BUILD_DIR ?= build
QT_PACKAGES := qtbase5-dev qtwebengine5-dev libqt5webchannel5-dev libqt5svg5-dev \
	qttools5-dev-tools qttranslations5-l10n
# The sanitized build (below) runs with the default Qt.
TEST_SANITIZED := fuzz-test
else ifeq ($(QT),6)
BUILD_DIR ?= build-qt6
QT_PACKAGES := qt6-base-dev qt6-webengine-dev qt6-webengine-dev-tools qt6-webchannel-dev \
	qt6-svg-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
TEST_SANITIZED :=
else
$(error QT is 5 or 6, not $(QT))
endif

APT_PACKAGES := cmake ninja-build g++ make pkg-config $(QT_PACKAGES) \
	libcpp-httplib-dev libx11-dev minisign libsodium-dev \
	xvfb xauth xdotool trayer fonts-wqy-microhei curl time \
	makeself desktop-file-utils g++-mingw-w64-x86-64 \
	squid poppler-utils dbus-daemon clang libclang-rt-14-dev \
	openssl libnss3-tools lintian dpkg-dev

# The sanitized build (clang: AddressSanitizer, UBSan, libFuzzer): every fuzz target, and the
# suites that need no web view, which `make test` runs there too.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
SANITIZED_SUITES := tst_tooloutput tst_programcontrol tst_loginrecord tst_deviceidentity \
	tst_trustpolicy tst_loginurl tst_updatecheck tst_upgradeprocess tst_clientsettings
empty :=
space := $(empty) $(empty)
SANITIZED_TESTS := ^(fuzz_.*|$(subst $(space),|,$(strip $(SANITIZED_SUITES))))$$

# What the benchmarks need besides the build: the browser whose start-up is a floor.
BENCH_PACKAGES := chromium
# Rounds of the soak in `make bench` (the script's own default is 200).
SOAK_ROUNDS ?= 50

# $(call install_missing,PACKAGES): apt-get installs those of PACKAGES that are not installed.
define install_missing
	@missing="$$(for p in $(1); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
		done)"; \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		apt-get update -q && DEBIAN_FRONTEND=noninteractive \
		apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 $$missing; \
	fi
endef

.PHONY: deps build test demo package clean bench bench-deps fuzz-build fuzz fuzz-test

deps:
	$(call install_missing,$(APT_PACKAGES))
	@command -v npm >/dev/null || { apt-get update -q && \
		DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends npm; }
	@[ node_modules/.package-lock.json -nt package-lock.json ] || npm ci --no-audit --no-fund --ignore-scripts

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERVO_QT_MAJOR=$(QT) \
		-DMERVO_BUILD_TESTS=ON -DMERVO_BUILD_DEMO=ON -DMERVO_BUILD_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build $(TEST_SANITIZED)
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

fuzz-test: fuzz-build
	cd $(FUZZ_DIR) && ctest --output-on-failure -j $(JOBS) -R '$(SANITIZED_TESTS)'

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DMERVO_BUILD_FUZZ=ON -DMERVO_BUILD_TESTS=ON -DMERVO_BUILD_DEMO=OFF -DMERVO_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target mervo_fuzz $(SANITIZED_SUITES)

# Each fuzz target for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600), then a table of the runs.
fuzz: fuzz-build
	fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(JOBS)

# build/packages/MervoSetup-<version>.run, the per-user installer, and its signature, and
# build/packages/mervo-client_<version>_<arch>.deb, the system-wide Debian package.
# A release build (MERVO_UPDATE_KEYS set) signs with the secret key named by
# MERVO_UPDATE_SECRET_KEY (make package MERVO_UPDATE_SECRET_KEY=/path/to/key).
package: build
	cmake --build $(BUILD_DIR) --target mervo_package

# The demo also builds the update it offers: build/demo-update/MervoSetup-<next>.run.
demo: build
	cmake --build $(BUILD_DIR) --target mervo_demo_update
	./demo/run-demo.sh $(BUILD_DIR)

bench-deps: deps
	$(call install_missing,$(BENCH_PACKAGES))

# Every benchmark, one after the other, each on a private X server; each prints its table
# with the load average it ran under: run it on a quiet machine.
bench: build bench-deps
	cmake --build $(BUILD_DIR) --target mervo_demo_update
	BUILD=$(abspath $(BUILD_DIR)) bench/startup.sh
	BUILD=$(abspath $(BUILD_DIR)) bench/footprint.sh
	BUILD=$(abspath $(BUILD_DIR)) bench/download.sh
	BUILD=$(abspath $(BUILD_DIR)) bench/updater.sh
	BUILD=$(abspath $(BUILD_DIR)) bench/update.sh
	BUILD=$(abspath $(BUILD_DIR)) bench/deviceid.sh
	BUILD=$(abspath $(BUILD_DIR)) bench/transition.sh
	BUILD=$(abspath $(BUILD_DIR)) ROUNDS=$(SOAK_ROUNDS) bench/soak.sh

clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR)

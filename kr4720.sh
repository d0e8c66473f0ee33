#!/usr/bin/env bash
# Set-up, build, demo and tests of the KR4720 channel programmer.
#   ./kr4720.sh demo   install what is missing, build, start the program with the virtual radio
#   ./kr4720.sh test   install what is missing, build with sanitizers, run every test
#   ./kr4720.sh bench  install what is missing, build, print the speed and memory figures
#   ./kr4720.sh package      install what is missing, build, make the Debian package
#   ./kr4720.sh screenshots  install what is missing, build, retake the pictures in docs/
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite qt6-qpa-plugins qt6-translations-l10n
    libgtest-dev libgmock-dev
    libfontconfig-dev fonts-arphic-ukai fonts-arphic-uming
    xvfb xauth
    dpkg-dev file
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

jobs="$(nproc 2>/dev/null || echo 2)"

build_release() {
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR4720_TESTS=OFF >/dev/null
    cmake --build build/release -j "$jobs"
}

build_tests() {
    cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR4720_SANITIZE=ON >/dev/null
    cmake --build build/test -j "$jobs"
}

# The fuzz targets get a short run on every test; longer runs are done by hand:
#   build/fuzz/tests/fuzz/<target> -max_total_time=600 tests/fuzz/corpus/<name>
run_fuzzers() {
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKR4720_GUI=OFF -DKR4720_TESTS=OFF -DKR4720_FUZZ=ON >/dev/null
    cmake --build build/fuzz -j "$jobs"
    local seconds="${KR4720_FUZZ_SECONDS:-10}"
    for target in build/fuzz/tests/fuzz/fuzz_*; do
        [ -x "$target" ] || continue
        local name corpus scratch
        name="$(basename "$target")"
        corpus="tests/fuzz/corpus/${name#fuzz_}"
        scratch="$(mktemp -d)"
        [ -d "$corpus" ] && cp -r "$corpus/." "$scratch/"
        echo "Fuzzing $name for ${seconds}s"
        if ! "$target" -max_total_time="$seconds" -print_final_stats=0 "$scratch" >"build/fuzz/$name.log" 2>&1; then
            tail -n 40 "build/fuzz/$name.log"
            echo "$name found a failure (see build/fuzz/$name.log)"
            rm -rf "$scratch"
            return 1
        fi
        rm -rf "$scratch"
    done
}

# Makes the Debian package from the release tree; its path goes to package_path.
make_package() {
    build_release
    rm -f build/release/kr4720_*.deb
    (cd build/release && cpack -G DEB >cpack.log 2>&1) || {
        cat build/release/cpack.log >&2
        echo "kr4720.sh: cpack failed" >&2
        return 1
    }
    local debs=(build/release/kr4720_*.deb)
    [ -f "${debs[0]}" ] || { echo "kr4720.sh: cpack made no package" >&2; return 1; }
    package_path="${debs[0]}"
}

# The package holds the programs, the desktop entry and the icons, and asks
# for what Qt loads without linking it.
check_package() {
    make_package
    local contents depends missing=()
    contents="$(dpkg-deb -c "$package_path")"
    depends="$(dpkg-deb -f "$package_path" Depends)"
    local files=(
        ./usr/bin/kr4720
        ./usr/bin/kr4720-cli
        ./usr/bin/kr4720-virtual-radio
        ./usr/share/applications/kr4720.desktop
        ./usr/share/icons/hicolor/scalable/apps/kr4720.svg
    )
    for size in 16 32 48 64 128 256; do
        files+=("./usr/share/icons/hicolor/${size}x${size}/apps/kr4720.png")
    done
    for file in "${files[@]}"; do
        grep -qE " ${file//./\\.}\$" <<<"$contents" || missing+=("$file")
    done
    for dependency in libqt6sql6-sqlite fonts-arphic-ukai qt6-translations-l10n; do
        grep -qE "(^|, )${dependency}( |,|\$)" <<<"$depends" || missing+=("Depends: $dependency")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Package check FAILED: $package_path lacks:" >&2
        printf '  %s\n' "${missing[@]}" >&2
        return 1
    fi
    echo "Package check passed: $package_path"
}

case "${1:-}" in
demo)
    install_missing
    build_release
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "kr4720.sh demo: no display (DISPLAY is not set); run it in a desktop session or under xvfb-run." >&2
        exit 1
    fi
    # The program keeps its databases in the folder it starts in; the virtual
    # radio keeps its channel set in a file there, across runs.
    mkdir -p build/demo
    cd build/demo
    rm -f radio-port
    ../release/tools/virtual_radio/kr4720-virtual-radio --link radio-port --memory radio-memory.txt >radio.log 2>&1 &
    radio=$!
    trap 'kill "$radio" 2>/dev/null; wait "$radio" 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ -e radio-port ] && break; sleep 0.1; done
    [ -e radio-port ] || { cat radio.log >&2; echo "kr4720.sh demo: the virtual radio did not start" >&2; exit 1; }
    echo "Virtual radio on $(head -n 1 radio.log) (KR4720_COM1=build/demo/radio-port)"
    KR4720_COM1="$PWD/radio-port" ../release/src/app/kr4720
    ;;
test)
    install_missing
    build_tests
    QT_QPA_PLATFORM=offscreen ctest --test-dir build/test --output-on-failure -j "$jobs"
    run_fuzzers
    check_package
    ;;
bench)
    install_missing
    build_release
    build/release/bench/kr4720-bench "${@:2}"
    ;;
package)
    install_missing
    make_package
    echo "$package_path"
    ;;
screenshots)
    # The pictures of docs/, taken on a virtual X screen with the installed fonts.
    install_missing
    build_release
    xvfb-run -a -s "-screen 0 1280x1024x24" build/release/tools/screenshots/kr4720-screenshots docs
    ;;
*)
    echo "usage: $0 demo|test|bench|package|screenshots" >&2
    exit 2
    ;;
esac

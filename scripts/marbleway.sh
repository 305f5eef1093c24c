#!/usr/bin/env bash
# Sets up a Debian 12 machine for Marbleway (installs what is missing, builds),
# then either runs the program's main job or the whole test suite.
#
#   scripts/marbleway.sh run      build, then start Marbleway
#   scripts/marbleway.sh sample   build, then convert a generated sample VOB
#   scripts/marbleway.sh test     build, then run every test with CTest
#   scripts/marbleway.sh sanitize build, then run every test again under ASan and UBSan
#   scripts/marbleway.sh bench    build, then time vobcast-convert against ffmpeg
#   scripts/marbleway.sh fuzz [S] build, then run each fuzz harness S seconds (clang)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${MARBLEWAY_BUILD_DIR:-$here/build}"
mode="${1:-run}"

usage() {
  cat <<EOF
usage: $0 [run|sample|test|sanitize|bench|fuzz]

Installs what is missing on a Debian 12 machine (apt), builds into $build, then:
  run      starts Marbleway (without a display: converts the sample instead)
  sample   converts a generated 20-second sample VOB into $build/sample/sample.avi
  test     runs the whole test suite with CTest, then the fuzz harnesses for 60 s each
           where clang is installed
  sanitize runs the whole test suite built with AddressSanitizer and UBSan (in ${build}-asan)
  bench    times vobcast-convert against ffmpeg (options after the mode go to the benchmark)
  fuzz     runs each fuzz harness (libFuzzer, clang) for S seconds, 60 by default
EOF
}

# Answered before anything is installed or built.
case "$mode" in
  run | sample | test | sanitize | bench | fuzz) ;;
  -h | --help | help) usage; exit 0 ;;
  *) usage >&2; exit 2 ;;
esac

packages=(
  build-essential cmake pkg-config binutils util-linux
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav
  libgstreamer-plugins-bad1.0-dev libavcodec-dev libavformat-dev libavutil-dev
  qt6-base-dev qt6-svg-dev libudev-dev libdvdread-dev libdvdnav-dev libavfilter-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
)
# The tests also mount a generated DVD image, as a user's desktop would, make
# their DVD media with ffmpeg, dvdauthor and mjpegtools, and read every AVI
# back with ffmpeg as well as GStreamer; a FAT image mounted with fusefat stands
# for a USB stick; lintian and appstreamcli judge the Debian package; a
# session bus carries desktop notifications; Xvfb, openbox, trayer and xdotool
# make desktops with and without a notification area for the real program,
# and the AT-SPI bus with pyatspi reads it as a screen reader does.
test_packages=(fuseiso fuse fusefat dosfstools genisoimage ffmpeg dvdauthor mjpegtools lintian appstream dbus-daemon
  xvfb openbox trayer x11-utils xdotool at-spi2-core python3-pyatspi)
# The benchmarks measure against ffmpeg, which also makes their sources, and
# HandBrake (bench/real-discs).
bench_packages=(ffmpeg handbrake-cli dvdauthor mjpegtools)

install_missing() {
  local missing=() wanted=("${packages[@]}")
  [ "$mode" = test ] || [ "$mode" = sanitize ] && wanted+=("${test_packages[@]}")
  [ "$mode" = bench ] && wanted+=("${bench_packages[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build_all() {
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j "$(nproc)"
}

convert_sample() {
    sample_dir="$build/sample"
    mkdir -p "$sample_dir"
    if [ ! -s "$sample_dir/sample.vob" ]; then
      echo "Making a 20-second NTSC sample VOB (the tests' long clip)..."
      bash "$here/tests/support/make_test_media.sh" --sample "$sample_dir/sample.vob"
    fi
    "$build/bin/vobcast-convert" --overwrite -o "$sample_dir" "$sample_dir/sample.vob"
    echo "The AVI is at $sample_dir/sample.avi"
}

# The libFuzzer harnesses, in a clang build of their own; seeds come from the
# main build's test media. $1: seconds per harness.
run_fuzzers() {
  local fuzz_build="${build}-fuzz"
  CC=clang CXX=clang++ cmake -S "$here" -B "$fuzz_build" -DMARBLEWAY_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFUZZ_MEDIA="$build/test-media" -DFUZZ_SECONDS="$1" > /dev/null
  cmake --build "$fuzz_build" -j "$(nproc)" --target fuzz-profile fuzz-skin fuzz-probe
  (cd "$fuzz_build" && ctest --output-on-failure -L fuzz)
}

# Whether clang and its libFuzzer runtime (libclang-rt-14-dev) are installed.
have_fuzzer() {
  command -v clang++ > /dev/null || return 1
  local runtime
  runtime="$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a 2> /dev/null)"
  [ -f "$runtime" ]
}

install_missing
build_all

case "$mode" in
  run)
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "This session has no display (neither DISPLAY nor WAYLAND_DISPLAY is set): converting the sample instead."
      convert_sample
      echo "To start the window, run this from a desktop session: $build/bin/Marbleway"
      exit 0
    fi
    echo "Starting Marbleway ($build/bin/Marbleway)"
    exec "$build/bin/Marbleway"
    ;;
  sample)
    convert_sample
    ;;
  test)
    export QT_QPA_PLATFORM=offscreen
    (cd "$build" && ctest --output-on-failure -j "$(nproc)" -LE large)
    if have_fuzzer; then
      run_fuzzers 60
    else
      echo "No clang with libFuzzer here: the fuzz harnesses are not run."
    fi
    ;;
  sanitize)
    # The whole suite again, built with AddressSanitizer and UBSan. The slow
    # unwinder sees through libraries built without frame pointers, so the
    # suppressions can name where memory was taken rather than whole libraries.
    asan_build="${build}-asan"
    cmake -S "$here" -B "$asan_build" -DMARBLEWAY_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug > /dev/null
    cmake --build "$asan_build" -j "$(nproc)"
    (cd "$asan_build" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=fast_unwind_on_malloc=0 \
      LSAN_OPTIONS="suppressions=$here/tests/lsan.supp" ctest --output-on-failure -j "$(nproc)" -E fuzz -LE large)
    ;;
  fuzz)
    if [ ! -s "$build/test-media/disc.iso" ]; then
      (cd "$build" && ctest -R make-test-media > /dev/null)
    fi
    run_fuzzers "${2:-60}"
    ;;
  bench)
    "$build/bin/convert-vs-ffmpeg" --work "$build/bench-work" "${@:2}"
    ;;
esac

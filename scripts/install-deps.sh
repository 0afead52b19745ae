#!/usr/bin/env bash
# Installs, with apt, the packages a task needs that are not yet on the machine:
#
#   scripts/install-deps.sh [run|test|pcsc|package|screenshot|fuzz|format]...    (default: run)
#
# Each task installs only its own packages; `test` includes `run`, `pcsc` and `package`. Needs
# root (or sudo) only when something is missing. Used by scripts/run.sh, scripts/test.sh and the
# others.
set -euo pipefail

# Building and running the window, the drivers and the emulator. The window carries its own font
# and loads the system's font configuration itself (qt6-base-dev brings libfontconfig-dev too).
run_packages=(cmake g++ make qt6-base-dev libfontconfig-dev)
# The tests and benchmarks.
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev
  # libnfc's own tools read the emulated PN532 board as an independent client.
  libnfc-bin libnfc-examples)
# PC/SC readers: the header the Mifare driver builds against; pcscd and a virtual reader for the
# tests and for `scripts/run.sh pcsc`.
pcsc_build_packages=(pkg-config libpcsclite-dev)
pcsc_packages=(pcscd vsmartcard-vpcd)
# The .deb: dpkg-shlibdeps names the libraries the programs load, and CPack finds them with file.
package_packages=(dpkg-dev file)
# The window's tests draw its captions in the installed font its own was cut from, to compare.
window_font_packages=(fonts-wqy-microhei)
# scripts/screenshot.sh: a virtual display, a robot to click, and a camera.
screenshot_packages=(xvfb xauth xdotool imagemagick)
# scripts/fuzz.sh: libFuzzer comes with clang.
fuzz_packages=(clang libclang-rt-14-dev)
# .ci/run checks the C++ files against .clang-format.
format_packages=(clang-format)

packages=()
for task in "${@:-run}"; do
  case $task in
    run) packages+=("${run_packages[@]}" "${pcsc_build_packages[@]}") ;;
    test)
      packages+=("${run_packages[@]}" "${pcsc_build_packages[@]}" "${test_packages[@]}"
        "${pcsc_packages[@]}" "${package_packages[@]}" "${window_font_packages[@]}")
      ;;
    pcsc) packages+=("${pcsc_packages[@]}") ;;
    package) packages+=("${package_packages[@]}") ;;
    screenshot) packages+=("${screenshot_packages[@]}") ;;
    fuzz) packages+=("${fuzz_packages[@]}") ;;
    format) packages+=("${format_packages[@]}") ;;
    *)
      echo "install-deps.sh: unknown task '$task' (run, test, pcsc, package, screenshot, fuzz or format)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed' ||
    [[ " ${missing[*]} " == *" $p "* ]] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || {
    echo "These packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

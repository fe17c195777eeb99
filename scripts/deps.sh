#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those missing: deps.sh build|test|run|bench
set -euo pipefail

pkgs=(cmake ninja-build g++ libgtest-dev libgmock-dev)
for what in "$@"; do
  case "$what" in
    build) ;;
    run) pkgs+=(libfltk1.3-dev xdg-utils) ;;
    test) pkgs+=(libfltk1.3-dev xvfb xdotool imagemagick x11-utils) ;;
    bench) pkgs+=(libbenchmark-dev clang libclang-rt-14-dev clang-tidy cppcheck) ;;
    *) echo "deps.sh: unknown set '$what'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

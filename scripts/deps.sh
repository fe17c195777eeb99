#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those missing: deps.sh build|test|run|bench|win|package
set -euo pipefail

pkgs=(cmake ninja-build g++ libgtest-dev libgmock-dev)
# Installed with their recommended packages: Wine needs several of them (fonts, X extensions) to draw.
full_pkgs=()
for what in "$@"; do
  case "$what" in
    build) ;;
    # dpkg-dev: dpkg-buildflags gives the release build its hardening flags.
    run) pkgs+=(libfltk1.3-dev xdg-utils fonts-liberation dpkg-dev) ;;
    test) pkgs+=(libfltk1.3-dev fonts-liberation xvfb xdotool imagemagick x11-utils
               pkg-config umockdev libumockdev-dev) ;;
    bench) pkgs+=(libbenchmark-dev clang libclang-rt-14-dev clang-tidy cppcheck pkg-config umockdev libumockdev-dev
                libfltk1.3-dev fonts-liberation xvfb dpkg-dev) ;;
    win) pkgs+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 xvfb xdotool imagemagick x11-utils)
         full_pkgs+=(wine wine64 fonts-wine) ;;
    # dpkg-shlibdeps computes the .deb's dependencies and dpkg-buildflags the hardening flags; lintian,
    # file, appstreamcli (validate, compose) and desktop-file-validate check what comes out; xmllint
    # checks the polkit action against the DTD polkitd brings.
    package) pkgs+=(libfltk1.3-dev dpkg-dev lintian file appstream appstream-compose desktop-file-utils
                    libxml2-utils polkitd) ;;
    *) echo "deps.sh: unknown set '$what'" >&2; exit 2 ;;
  esac
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for p in "${pkgs[@]}"; do installed "$p" || missing+=("$p"); done
missing_full=()
for p in "${full_pkgs[@]}"; do installed "$p" || missing_full+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_full[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]} ${missing_full[*]}"
# Two builds may install at once (worktrees side by side): the second waits for the package lock.
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_full[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing_full[@]}"
fi

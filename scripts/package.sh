#!/usr/bin/env bash
# Makes the two release artefacts, through CPack, from builds that are already there: the Debian
# package from a Linux build, the Windows zip from a mingw build. ./package calls it on its release
# builds; the packaging test on the builds ./test makes. Beside them, SHA256SUMS lists both.
#   scripts/package.sh LINUX_BUILD MINGW_BUILD OUTPUT_DIR
set -euo pipefail
linux=$(realpath "${1:?Linux build}")
mingw=$(realpath "${2:?mingw build}")
out=${3:?output directory}

# Every time stamp in the archives is the last commit's: the same commit gives the same bytes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$(dirname "$0")" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
for build in "$linux" "$mingw"; do
  [ -f "$build/CPackConfig.cmake" ] || { echo "package: $build is not a configured build" >&2; exit 1; }
  name=$(basename "$build")
  if ! cpack --config "$build/CPackConfig.cmake" -B "$work/$name" >"$work/$name.log" 2>&1; then
    cat "$work/$name.log" >&2
    echo "package: cpack failed for $build" >&2
    exit 1
  fi
  find "$work/$name" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.zip' \) -exec mv -f {} "$out"/ \;
done
(cd "$out" && sha256sum -- *.deb *.zip >SHA256SUMS)

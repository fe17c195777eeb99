#!/usr/bin/env bash
# Static analysis of src/: the layers' include rules, clang-tidy with the checked-in .clang-tidy,
# then cppcheck. Any finding fails. Reads the compile commands of a configured build: scripts/lint.sh [build dir, default build/dev]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build bench
build=${1:-build/dev}
scripts/check_layers.sh
[ -f "$build/compile_commands.json" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null

files=$(grep -o '"file": *"[^"]*/src/[^"]*"' "$build/compile_commands.json" | sort -u | wc -l)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if run-clang-tidy -p "$build" -j 2 -quiet "$PWD/src/" >"$log" 2>&1; then
  echo "clang-tidy: $files files of src/ clean"
else
  sed 's/\x1b\[[0-9;]*m//g' "$log" |
    grep -v -E '^(clang-tidy-[0-9]+ |[0-9]+ warnings? (and [0-9]+ errors? )?generated|Suppressed [0-9]+ warnings|Use -header-filter)' || true
  echo "clang-tidy: findings in src/ (above)" >&2
  exit 1
fi

# Warnings, performance and portability; the style class is mostly taste. A finding that is wrong
# is silenced where it stands with "// cppcheck-suppress <id> ; why".
cppcheck -I src --std=c++20 --language=c++ --enable=warning,performance,portability --inline-suppr \
  --error-exitcode=1 --quiet -j 2 src
echo "cppcheck: src/ clean"

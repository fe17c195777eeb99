#!/usr/bin/env bash
# Builds the soak run, the fault sweeps and the fuzz targets with clang under AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer (in build/asan) and runs them.
#   scripts/sanitize.sh          short runs, as ./test does them
#   scripts/sanitize.sh full     an hour of refresh (72,000 ticks) and a minute a fuzz target
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build bench

mode=${1:-quick}
fuzz_seconds=5
soak_ticks=2000
if [ "$mode" = full ]; then
  fuzz_seconds=60
  soak_ticks=72000
fi

# The asan preset: clang, AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, libFuzzer.
cmake --preset asan "-DPADWRIGHT_FUZZ_SECONDS=$fuzz_seconds" >/dev/null
cmake --build --preset asan

export PADWRIGHT_SOAK_TICKS=$soak_ticks
status=0
ctest --preset asan || status=$?
# The soak's figures and each fuzz target's executions, from the test log.
awk '/ Testing: /{name=$3} /^soak:/{print} /stat::number_of_executed_units/{runs=$2}
     /stat::average_exec_per_sec/{printf "%s: %d inputs, %d a second\n", name, runs, $2}' \
  build/asan/Testing/Temporary/LastTest.log
exit $status

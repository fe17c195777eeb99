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

# DirectInput names its properties by small integers cast to GUID references (DIPROP_RANGE and
# the like), which the alignment check would flag in every Open; that is the platform's convention.
flags="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all -fno-sanitize=alignment -fsanitize=fuzzer-no-link -Wno-error"
cmake -S . -B build/asan -G Ninja -Wno-dev \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
  "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
  -DPADWRIGHT_FLTK=OFF -DPADWRIGHT_FUZZ=ON "-DPADWRIGHT_FUZZ_SECONDS=$fuzz_seconds" >/dev/null
cmake --build build/asan -j2 --target soak_tests fault_tests fuzz_parse fuzz_exchange fuzz_registry fuzz_session

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export PADWRIGHT_SOAK_TICKS=$soak_ticks
status=0
ctest --test-dir build/asan -L sanitize --output-on-failure || status=$?
# The soak's figures and each fuzz target's executions, from the test log.
awk '/ Testing: /{name=$3} /^soak:/{print} /stat::number_of_executed_units/{runs=$2}
     /stat::average_exec_per_sec/{printf "%s: %d inputs, %d a second\n", name, runs, $2}' \
  build/asan/Testing/Temporary/LastTest.log
exit $status

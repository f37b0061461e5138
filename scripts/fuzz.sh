#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer into build-fuzz/ and runs each
# one for SECONDS (default 60), starting from the seed inputs in
# fuzz/corpus/<target>/. What a run finds grows a work copy of the corpus in
# build-fuzz/corpus-<target>/, never the repository. A crash, a broken
# invariant, a leak or an input that takes over 10 s fails the run; the input
# is kept in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_parsers fuzz_ini fuzz_answers fuzz_settings fuzz_records fuzz_storedlog fuzz_configset fuzz_syslog fuzz_replies fuzz_http)
case "$seconds" in
    '' | *[!0-9]*) echo "fuzz: SECONDS must be a whole number, got '$seconds'" >&2; exit 2 ;;
esac

# libFuzzer lives in clang's runtime package, llvm-symbolizer (for readable
# crash stacks) in llvm-14; the program itself needs only g++.
krm_install clang libclang-rt-14-dev llvm-14
out=build-fuzz
CC=clang CXX=clang++ cmake -S fuzz -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j2

mkdir -p "$out/artifacts"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=halt_on_error=1:detect_stack_use_after_return=1
[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ] && export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
passed=0
failed=0
for t in "${targets[@]}"; do
    work="$out/corpus-$t"
    log="$out/$t.log"
    mkdir -p "$work"
    # Seeds are copied in, earlier finds are kept.
    cp -n "fuzz/corpus/$t/"* "$work/"
    echo "== $t: ${seconds}s"
    rc=0
    # The outer limit only guards against libFuzzer itself getting stuck.
    timeout --kill-after=10 $((seconds + 120)) \
        "$out/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" "$work" >"$log" 2>&1 || rc=$?
    execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    rate=$(awk '/stat::average_exec_per_sec/ {print $2}' "$log")
    corpus=$(find "$work" -type f | wc -l)
    printf '%s: %s executions, %s/s, corpus %s inputs\n' "$t" "${execs:-?}" "${rate:-?}" "$corpus"
    if [ "$rc" -eq 0 ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "$t FAILED (exit $rc); the end of its log ($log):"
        tail -n 60 "$log"
        for a in "$out/artifacts/$t-"*; do
            [ -f "$a" ] && echo "reproduce: $out/$t $a"
        done
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

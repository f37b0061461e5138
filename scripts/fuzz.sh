#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer into build-fuzz/ and runs each
# one for SECONDS (default 60), as many at once as there are cores, starting
# from the seed inputs in fuzz/corpus/<target>/. What a run finds grows a work copy of the corpus in
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
# One target's run; its summary goes to $out/$t.result, its exit status to
# $out/$t.rc, so that two can run at once and be told in order.
run_target() {
    local t=$1 work="$out/corpus-$1" log="$out/$1.log" rc=0
    mkdir -p "$work"
    # Seeds are copied in, earlier finds are kept.
    cp -n "fuzz/corpus/$t/"* "$work/"
    # The outer limit only guards against libFuzzer itself getting stuck.
    timeout --kill-after=10 $((seconds + 120)) \
        "$out/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" "$work" >"$log" 2>&1 || rc=$?
    local execs rate corpus
    execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    rate=$(awk '/stat::average_exec_per_sec/ {print $2}' "$log")
    corpus=$(find "$work" -type f | wc -l)
    printf '%s: %s executions, %s/s, corpus %s inputs\n' "$t" "${execs:-?}" "${rate:-?}" "$corpus" >"$out/$t.result"
    echo "$rc" >"$out/$t.rc"
}

# Each target is one process on one core: as many run at once as there are
# cores, so the whole run takes a share of the time and each target its seconds.
jobs=$(nproc 2>/dev/null || echo 2)
echo "== ${#targets[@]} targets, ${seconds}s each, $jobs at a time"
running=0
for t in "${targets[@]}"; do
    rm -f "$out/$t.rc" "$out/$t.result"
    run_target "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
done
wait || true

passed=0
failed=0
for t in "${targets[@]}"; do
    log="$out/$t.log"
    rc=$(cat "$out/$t.rc" 2>/dev/null || echo 1)
    cat "$out/$t.result" 2>/dev/null || echo "$t: no result"
    if [ "$rc" -eq 0 ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "$t FAILED (exit $rc); the end of its log ($log):"
        tail -n 60 "$log" 2>/dev/null || true
        for a in "$out/artifacts/$t-"*; do
            [ -f "$a" ] && echo "reproduce: $out/$t $a"
        done
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

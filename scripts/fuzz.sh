#!/usr/bin/env bash
# Long fuzz runs: builds the libFuzzer targets of Fuzz/ (preset "fuzz": clang,
# ASan, UBSan) and runs each target, or the ones named, until it has made the
# given number of executions or run for the given time, whichever comes first.
#
#   scripts/fuzz.sh [--runs N] [--time SECONDS] [--list] [TARGET...]
#
# Defaults: 1000000 executions or 3600 seconds per target, one target at a
# time under nice. Each target keeps a working corpus in
# build-fuzz/corpus/TARGET: new entries land there and the next run starts
# from them (the committed seeds in Fuzz/TARGET/corpus are read as well). A
# finding (crash, broken invariant, leak, timeout, excess memory) is written
# to build-fuzz/findings/TARGET/; reproduce it with
#   build-fuzz/Fuzz/fuzz_TARGET FILE
# and, once fixed, copy it into Fuzz/TARGET/corpus/ as a regression input.
# The summary gives per target the executions, libFuzzer's coverage (cov:
# edges, ft: features) and the corpus size; logs are in build-fuzz/logs/.
# Exits non-zero when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=1000000
seconds=3600
list=0
targets=()
while (($#)); do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --time) seconds="$2"; shift 2 ;;
    --list) list=1; shift ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done

all=()
for source in Fuzz/*/fuzz*.cpp; do
  name=$(basename "$(dirname "$source")")
  [[ "$source" == "Fuzz/$name/fuzz$name.cpp" ]] && all+=("$name")
done
if ((list)); then
  printf '%s\n' "${all[@]}"
  exit 0
fi
((${#targets[@]})) || targets=("${all[@]}")

scripts/install-deps.sh --fuzz
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --preset fuzz "${launcher[@]}" >/dev/null
nice cmake --build --preset fuzz -j "$(nproc)"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p build-fuzz/logs
summary=()
failed=0
for name in "${targets[@]}"; do
  program="build-fuzz/Fuzz/fuzz_$name"
  if [[ ! -x "$program" ]]; then
    echo "fuzz.sh: no target $name (see --list)" >&2
    exit 2
  fi
  corpus="build-fuzz/corpus/$name"
  findings="build-fuzz/findings/$name"
  log="build-fuzz/logs/$name.log"
  mkdir -p "$corpus" "$findings"
  options=(-runs="$runs" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560
           -malloc_limit_mb=768 -print_final_stats=1 -artifact_prefix="$findings/")
  [[ -f "Fuzz/$name/$name.dict" ]] && options+=(-dict="Fuzz/$name/$name.dict")
  echo "== $name: ${runs} runs or ${seconds} s"
  status=0
  nice "$program" "${options[@]}" "$corpus" "Fuzz/$name/corpus" >"$log" 2>&1 || status=$?
  # The last status line holds the coverage; the final stats the run count.
  line=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  executions=$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$' || true)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$line" | grep -oE '[0-9]+' || true)
  ft=$(grep -oE 'ft: [0-9]+' <<<"$line" | grep -oE '[0-9]+' || true)
  seconds_used=$(grep -oE 'stat::slowest_unit_time_sec|Done [0-9]+ runs in [0-9]+ second' "$log" | grep -oE '[0-9]+ second' | grep -oE '[0-9]+' || true)
  result="ok"
  if ((status != 0)); then
    result="FINDING (see $log and $findings/)"
    failed=1
  fi
  summary+=("$(printf '%-14s %10s runs %8s s  cov %6s  ft %7s  corpus %6s  %s' "$name" "${executions:-?}" \
    "${seconds_used:-?}" "${cov:-?}" "${ft:-?}" "$(find "$corpus" -type f | wc -l)" "$result")")
  echo "${summary[-1]}"
done

echo
echo "Summary:"
printf '%s\n' "${summary[@]}"
exit "$failed"

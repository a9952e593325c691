#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each one for
# a bounded time: the record file's parser and the datafile structure check.
# Then every datafile input found is replayed under Valgrind, which sees
# inside the library's loader where AddressSanitizer cannot.
#
#   scripts/fuzz.sh [seconds per target]      (default $SNAKE_FUZZ_SECONDS, else 10)
#
# New inputs are kept in build-fuzz/corpus/; the seeds in fuzz/corpus/ are
# only read. A crash leaves its input in build-fuzz/crashes/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# The one place the default is set; scripts/test.sh takes it from here.
seconds="${1:-${SNAKE_FUZZ_SECONDS:-10}}"
build="$root/build-fuzz"

"$root/scripts/deps.sh"
cmake --preset fuzzing -S "$root" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_record fuzz_datafile datafile_replay

mkdir -p "$build/crashes"
for target in record datafile; do
  work="$build/corpus/$target"
  mkdir -p "$work"
  dict=()
  if [ -f "$root/fuzz/$target.dict" ]; then dict=(-dict="$root/fuzz/$target.dict"); fi
  echo "fuzz_$target: ${seconds} s"
  # The fuzzer's own log goes to a file; its last lines tell what it did.
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 "${dict[@]}" -artifact_prefix="$build/crashes/$target-" \
      "$work" "$root/fuzz/corpus/$target" >"$build/fuzz_$target.log" 2>&1; then
    tail -n 60 "$build/fuzz_$target.log"
    echo "fuzz_$target: FAILED (input in $build/crashes/)"
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units)' "$build/fuzz_$target.log" || true
done

echo "datafile_replay: the corpus under Valgrind"
valgrind --quiet --error-exitcode=1 --exit-on-first-error=yes \
  "$build/fuzz/datafile_replay" "$build/corpus/datafile"/* "$root/fuzz/corpus/datafile"/*
echo "fuzzing: no finding"

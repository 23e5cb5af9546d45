#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan in build-fuzz and runs each for
# the given number of seconds (default 60), starting from the seed corpus. New inputs gather in
# build-fuzz/corpus/<target>; crashes are written to build-fuzz/crashes/. FUZZ_BUILD names
# another build folder, so that several runs can go on side by side.
#   fuzz/run-libfuzzer.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(jpeg_decoder_fuzzer picture_decoder_fuzzer)
fi
build="${FUZZ_BUILD:-$root/build-fuzz}"

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMUGWARP_CORE_ONLY=ON -DMUGWARP_LIBFUZZER=ON -DMUGWARP_SANITIZE=ON > /dev/null
cmake --build "$build" --target "${targets[@]}" -j2

mkdir -p "$build/crashes"
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target for $seconds s"
  "$build/fuzz/$target" "$corpus" "$root/fuzz/corpus/$target" \
    -max_total_time="$seconds" -rss_limit_mb=2560 -timeout=30 \
    -artifact_prefix="$build/crashes/$target-" -print_final_stats=1
done

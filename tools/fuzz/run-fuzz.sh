#!/bin/sh
# Builds the pattern-file reader fuzz target with clang in a build folder of its
# own and runs it for a bounded time.
#   tools/fuzz/run-fuzz.sh [seconds] [more libFuzzer options]
# Findings land in fuzz-out/ at the top of the source tree; rerun one with
#   build-fuzz/bin/fuzz_patternreader fuzz-out/crash-...
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${TRV_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-60}
[ $# -gt 0 ] && shift

# clang and its fuzzing runtime, besides what the normal build needs.
"$root/tools/install-deps.sh"
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang libclang-rt-dev || \
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang libclang-rt-14-dev
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DTRV_FUZZ=ON
cmake --build "$build" --target fuzz_patternreader -j2

# Seeds: the start-up chart, every element in the standard layout, the same
# fields on one line and a hand-edited variant with LF, blanks and other forms.
seeds=$build/fuzz-seeds
corpus=$build/fuzz-corpus
mkdir -p "$seeds" "$corpus" "$root/fuzz-out"
awk 'BEGIN {
    for (s = 0; s < 80; s++) {
        line = ""
        for (c = 0; c < 40; c++) line = line (c ? "," : "") "3"
        printf "%s\r\n", line
    }
    printf "80\r\n"
}' > "$seeds/start-up.txt"
awk 'BEGIN {
    for (s = 0; s < 80; s++) {
        line = ""
        for (c = 0; c < 40; c++) {
            o = (s + c) % 16
            line = line (c ? "," : "") (o < 10 ? o : sprintf("\"%c\"", 48 + o))
        }
        printf "%s\r\n", line
    }
    printf "7\r\n"
}' > "$seeds/elements.txt"
awk 'BEGIN { for (i = 0; i < 3200; i++) printf "3,"; printf "80" }' > "$seeds/one-line.txt"
awk 'BEGIN {
    for (s = 0; s < 80; s++) {
        line = ""
        for (c = 0; c < 40; c++) line = line (c ? ", " : " ") (c % 4 == 0 ? "3.0" : c % 4 == 1 ? "\":\"" : c % 4 == 2 ? "x" : "")
        printf "%s\n", line
    }
    printf "1e1\n\n"
}' > "$seeds/hand-edited.txt"

exec "$build/bin/fuzz_patternreader" -max_total_time="$seconds" -rss_limit_mb=512 -timeout=5 \
    -max_len=16384 -dict="$here/patternfile.dict" -artifact_prefix="$root/fuzz-out/" "$@" \
    "$corpus" "$seeds"

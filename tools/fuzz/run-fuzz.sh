#!/bin/sh
# Builds the libFuzzer targets with clang in a build folder of their own and
# runs each for a bounded time.
#   tools/fuzz/run-fuzz.sh [seconds] [target] [more libFuzzer options]
# target is patternreader, iniprofile, transferprotocol, clipboard or all (the
# default); each target runs for the seconds given (60 by default). The seeds are the
# checked-in tools/fuzz/corpus/<target>/; what a run learns is kept in
# build-fuzz/fuzz-corpus/<target>/ for the next run. Findings land in fuzz-out/
# at the top of the source tree; rerun one with
#   build-fuzz/bin/fuzz_<target> fuzz-out/<target>-crash-...
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${TRV_FUZZ_BUILD:-$root/build-fuzz}
all="patternreader iniprofile transferprotocol clipboard"
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=$all
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    [ "$1" != all ] && targets=$1
    shift
fi
for target in $targets; do
    case " $all " in
    *" $target "*) ;;
    *) echo "run-fuzz.sh: unknown target '$target' (one of: $all, all)" >&2; exit 2 ;;
    esac
done

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
for target in $targets; do
    cmake --build "$build" --target "fuzz_$target" -j2
done

mkdir -p "$root/fuzz-out"
# The address checker keeps 256 MB of freed blocks by default; the transfer
# target frees millions of small ones, which took it past the memory limit
# while merely loading a grown corpus. Options given in ASAN_OPTIONS win.
ASAN_OPTIONS="quarantine_size_mb=64${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export ASAN_OPTIONS
failed=""
for target in $targets; do
    case $target in
    patternreader) options="-max_len=16384 -dict=$here/patternfile.dict" ;;
    iniprofile) options="-max_len=4096 -dict=$here/iniprofile.dict" ;;
    transferprotocol) options="-max_len=4096 -dict=$here/transferprotocol.dict" ;;
    # Room for a whole chart's text of 80 lines, and for more lines than that.
    clipboard) options="-max_len=16384 -dict=$here/clipboard.dict" ;;
    esac
    # The settings-file target writes a real file for every input; a folder in
    # memory keeps that from waiting on the disk.
    tmp=${TMPDIR:-/tmp}
    [ "$target" = iniprofile ] && [ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
    corpus=$build/fuzz-corpus/$target
    mkdir -p "$corpus"
    echo "== fuzz_$target for $seconds s"
    # shellcheck disable=SC2086 # the options are words on purpose
    TMPDIR=$tmp "$build/bin/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=512 -timeout=5 \
        -print_final_stats=1 $options -artifact_prefix="$root/fuzz-out/$target-" "$@" \
        "$corpus" "$here/corpus/$target" || failed="$failed $target"
done
if [ -n "$failed" ]; then
    echo "run-fuzz.sh: findings in fuzz-out/ from:$failed" >&2
    exit 1
fi

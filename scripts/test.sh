#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the unit and end-to-end
# tests in the default preset, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and every fuzz target for a minute from its corpus.
#   --quick   the default preset only
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

quick=0
[ "${1:-}" = "--quick" ] && quick=1

echo "== default preset"
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default

((quick)) && exit 0

echo "== asan preset"
cmake --preset asan >/dev/null
cmake --build --preset asan
# The package test builds and unpacks the .deb: once, in the default preset, is enough.
ctest --preset asan -LE package

echo "== fuzzing"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
# Binary seeds are not kept in the repository: the project's own tools write
# them into the fuzzer's working corpus.
seed() {
    local name=$1 work=$2
    case $name in
    desktop_file)
        for json in fuzz/corpus/desktop_json/*.json; do
            ASAN_OPTIONS=detect_leaks=0 build/fuzz/tools/orvanta-desktop/orvanta-desktop build \
                "$json" "$work/$(basename "$json" .json).orv"
        done
        ;;
    bitmap_loader | palette_loader | picture_formats)
        python3 -B fuzz/seeds.py "$name" "$work"
        ;;
    pipeline)
        local desktops
        desktops=$(mktemp -d)
        for json in fuzz/corpus/desktop_json/*.json; do
            ASAN_OPTIONS=detect_leaks=0 build/fuzz/tools/orvanta-desktop/orvanta-desktop build \
                "$json" "$desktops/$(basename "$json" .json).orv"
        done
        python3 -B fuzz/seeds.py pipeline "$work" "$desktops"/*.orv
        rm -rf "$desktops"
        ;;
    esac
}
for fuzzer in build/fuzz/fuzz/fuzz_*; do
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    name=${fuzzer##*/fuzz_}
    work=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/"
    seed "$name" "$work"
    echo "-- $name"
    # The last lines when it passes; everything, the crash report included, when it fails.
    if "$fuzzer" -max_total_time=60 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work" > "$work.log" 2>&1; then
        tail -n 5 "$work.log"
    else
        cat "$work.log"
        exit 1
    fi
    rm -rf "$work" "$work.log"
done

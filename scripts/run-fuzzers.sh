#!/bin/sh
# Runs each libFuzzer target for a bounded time over its seed corpus in
# fuzz/corpus (left untouched: new inputs go to a scratch folder). A crash
# leaves its input in the build folder and fails the run.
set -eu
BUILD=$1
SECONDS_EACH=${2:-60}
for Target in RecordParserFuzz GraphFileFuzz SettingsFuzz; do
    case $Target in
        RecordParserFuzz) Seeds=fuzz/corpus/parser ;;
        GraphFileFuzz) Seeds=fuzz/corpus/graphs ;;
        SettingsFuzz) Seeds=fuzz/corpus/settings ;;
    esac
    Scratch=$(mktemp -d)
    echo "== $Target for $SECONDS_EACH s"
    ASAN_OPTIONS=detect_leaks=0 "$BUILD/fuzz/$Target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
        -timeout=10 -artifact_prefix="$BUILD/$Target-" -print_final_stats=1 "$Scratch" "$Seeds" 2>&1 |
        grep -E "^(#[0-9]+ +DONE|Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|INFO: Running)" || true
    rm -rf "$Scratch"
    if ls "$BUILD/$Target-"* > /dev/null 2>&1; then
        echo "$Target found a failing input: $(ls "$BUILD/$Target-"*)"
        exit 1
    fi
done
echo "fuzzers: no failures"

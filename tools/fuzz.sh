#!/usr/bin/env bash
# Runs each libFuzzer target for SECONDS, seeded from the decoder corpora; findings are written
# into the build folder (crash-*, timeout-*, oom-*) and make the script fail.
set -euo pipefail
build=${1:?build folder}
seconds=${2:-600}
corpora=${PICTORRA_SHARED_DIR:-$(cd "$(dirname "$0")/.." && pwd)/../shared}/corpora
status=0
for d in bmp jpeg gif; do
    work="$build/corpus-$d"
    seeds="$build/seeds-$d"
    mkdir -p "$work" "$seeds"
    if [[ -d "$corpora" ]]; then
        case $d in jpeg) pattern='.*\.(jpe?g|JPE?G)$' ;; *) pattern=".*\.($d|${d^^})$" ;; esac
        find "$corpora" -regextype posix-extended -regex "$pattern" -exec cp -n -t "$seeds" {} + 2>/dev/null || true
    fi
    echo "== fuzzing the $d decoder for $seconds s"
    (cd "$build" && ./fuzz/fuzz_$d -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=1048576 -print_final_stats=1 "corpus-$d" "seeds-$d") || status=1
done
exit $status

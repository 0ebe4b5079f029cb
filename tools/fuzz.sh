#!/usr/bin/env bash
# Runs each libFuzzer target for SECONDS, seeded from the decoder corpora; findings are written
# into the build folder (crash-*, timeout-*, oom-*) and make the script fail.
set -euo pipefail
build=${1:?build folder}
seconds=${2:-600}
shared=${PICTORRA_SHARED_DIR:-$(cd "$(dirname "$0")/.." && pwd)/../shared}
status=0
for d in bmp jpeg gif png webp tiff heif icc; do
    work="$build/corpus-$d"
    seeds="$build/seeds-$d"
    mkdir -p "$work" "$seeds"
    case $d in
        jpeg) pattern='.*\.(jpe?g|JPE?G)$' ;;
        png) pattern='.*\.(a?png|A?PNG)$' ;;
        tiff) pattern='.*\.(tiff?|TIFF?)$' ;;
        heif) pattern='.*\.(heic|heif|hif|HEIC|HEIF|HIF)$' ;;
        icc) pattern='.*\.(icc|ICC)$' ;;
        *) pattern=".*\.($d|${d^^})$" ;;
    esac
    # The profile target has no corpus of its own: it starts from the profiles the tests make.
    if [[ $d == icc ]]; then folders=("$build/../build/fuzz/icc-seeds"); else folders=("$shared/corpora" "$shared/corpora-formats"); fi
    for folder in "${folders[@]}"; do
        [[ -d "$folder" ]] && find "$folder" -regextype posix-extended -regex "$pattern" -exec cp -n -t "$seeds" {} + 2>/dev/null || true
    done
    echo "== fuzzing the $d decoder for $seconds s"
    (cd "$build" && ./fuzz/fuzz_$d -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=1048576 -print_final_stats=1 "corpus-$d" "seeds-$d") || status=1
done
exit $status

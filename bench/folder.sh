#!/usr/bin/env bash
# A folder run over the photographs (crop 4 x 6 centre, resize 640, JPG good), timed against
# ImageMagick and GraphicsMagick doing the same work on the same number of cores, in one run so
# that the ratios hold on a shared machine. Usage: bench/folder.sh [BUILD] [PHOTOS]
# With BASELINE=path/to/an/older/pictorra-cli the older build is timed in the same rounds, to
# show what a change costs or saves.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
photos=${2:-$here/../../shared/photos}
cli="$build/pictorra-cli"
[[ -x "$cli" ]] || { echo "build pictorra-cli first (make build)"; exit 1; }
[[ -d "$photos" ]] || { echo "no photos folder at $photos"; exit 1; }

need=()
command -v convert >/dev/null || need+=(imagemagick)
command -v gm >/dev/null || need+=(graphicsmagick)
command -v /usr/bin/time >/dev/null || need+=(time)
if [[ ${#need[@]} -gt 0 ]]; then
    sudo_cmd=(); [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/im" "$work/gm"
cp "$photos"/*.jpg "$work/in/"
count=$(ls "$work/in" | wc -l)
cores=$(nproc)

# The crop rectangle each tool is given: the same 4 x 6 centre crop pictorra computes.
geometry() {
    python3 - "$@" <<'PY'
import sys
w, h = int(sys.argv[1]), int(sys.argv[2])
s, l = 2, 3
portrait = w <= h
short, long_ = (w, h) if portrait else (h, w)
T = short / s * l
ns, nl = short, long_
if long_ + s < T: ns = round(long_ / l * s)
elif not (long_ - s <= T): nl = round(T)
cw, ch = (ns, nl) if portrait else (nl, ns)
print(f"{cw}x{ch}+{(w - cw) // 2}+{(h - ch) // 2}")
PY
}
: > "$work/im.cmds"; : > "$work/gm.cmds"
for f in "$work"/in/*.jpg; do
    read -r w h < <(identify -format '%w %h\n' "$f[0]")
    g=$(geometry "$w" "$h")
    b=$(basename "$f")
    echo "convert -limit thread 1 '$f' -auto-orient -crop $g +repage -resize 640x640 -quality 85 '$work/im/$b'" >> "$work/im.cmds"
    echo "gm convert -limit threads 1 '$f' -crop $g +repage -resize 640x640 -quality 85 '$work/gm/$b'" >> "$work/gm.cmds"
done

seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -n 1; }
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

for jobs in 1 "$cores"; do
    if [[ -n "${BASELINE:-}" ]]; then
        for round in 1 2 3; do
            rm -rf "$work/in/Images46e-R640"
            old=$(seconds "$BASELINE" --yes --quiet --jobs "$jobs" --crop 4x6 --resize 640 "$work/in")
            rm -rf "$work/in/Images46e-R640"
            new=$(seconds "$cli" --yes --quiet --jobs "$jobs" --crop 4x6 --resize 640 "$work/in")
            echo "jobs $jobs, round $round: this build $new s, baseline $old s"
        done
    fi
    rm -rf "$work/in/Images46e-R640"
    p=$(seconds "$cli" --yes --quiet --jobs "$jobs" --crop 4x6 --resize 640 "$work/in")
    im=$(seconds xargs -P "$jobs" -I{} sh -c {} < "$work/im.cmds")
    gmt=$(seconds xargs -P "$jobs" -I{} sh -c {} < "$work/gm.cmds")
    python3 - "$jobs" "$count" "$p" "$im" "$gmt" <<'PY'
import sys
jobs, n = int(sys.argv[1]), int(sys.argv[2])
p, im, gm = map(float, sys.argv[3:6])
print(f"jobs {jobs}: pictorra {p:.2f} s ({n / p:.2f} images/s), ImageMagick {im:.2f} s "
      f"(x{im / p:.2f}), GraphicsMagick {gm:.2f} s (x{gm / p:.2f})")
PY
done

# Memory: each picture alone, what it adds to the process's own footprint (a run over a one-pixel
# picture) against its decoded size (width x height x 3).
tiny="$work/tiny"; mkdir -p "$tiny"
printf 'BM:\0\0\0\0\0\0\0006\0\0\0(\0\0\0\1\0\0\0\1\0\0\0\1\0\30\0\0\0\0\0\4\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\377\377\377\0' > "$tiny/dot.bmp"
base_kb=$(peak_kb "$cli" --yes --quiet --jobs 1 --crop 4x6 --resize 640 "$tiny")
echo "memory per picture (one at a time), above the process's own $((base_kb / 1024)) MiB:"
for f in "$work"/in/*.jpg; do
    one="$work/one"; rm -rf "$one"; mkdir -p "$one"; cp "$f" "$one/"
    kb=$(peak_kb "$cli" --yes --quiet --jobs 1 --crop 4x6 --resize 640 "$one")
    bytes=$(identify -format '%[fx:w*h*3]' "$f[0]")
    python3 - "$(basename "$f")" "$kb" "$base_kb" "$bytes" <<'PY'
import sys
name, kb, base, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
print(f"  {name:40s} {(kb - base) / 1024:6.0f} MiB  {(kb - base) * 1024 / size:4.2f} x")
PY
done

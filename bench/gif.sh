#!/usr/bin/env bash
# An animated GIF into a packed animation: the tool alone, which decodes the GIF itself, against
# ImageMagick splitting the same GIF into BMP frames, which was the first step before the tool
# read GIFs (and which the tool's work then came after).
#
#   bash bench/gif.sh [TIVRANO]     # ROUNDS=N for more runs (default 21)
#
# The GIFs are the benchmark's animations (bench/animations.py) joined by ImageMagick, with a
# delay, each frame laid on the one before as an optimising editor leaves them. Each command is
# run ROUNDS times, and the median CPU time (user + system) of each is printed: the tool packed,
# the tool unpacked (the decoding and the text without the packing's search), ImageMagick, and
# the ratio of the first to ImageMagick's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=$(realpath "${1:-$here/../build/tivrano}")
rounds=${ROUNDS:-21}
magick=$(command -v magick || echo /usr/bin/convert)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

python3 "$here/animations.py" "$scratch/frames" >"$scratch/list"
median_cpu() { # the median of ROUNDS runs of "$@", in milliseconds of CPU
    python3 - "$rounds" "$@" <<'EOF'
import resource, statistics, subprocess, sys
rounds, command = int(sys.argv[1]), sys.argv[2:]
times = []
for _ in range(rounds):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    times.append((after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000)
print("%.1f" % statistics.median(times))
EOF
}
printf '%-14s %6s %6s %12s %10s %12s %7s\n' GIF frames bytes "tivrano" "unpacked" "ImageMagick" ratio
while read -r name _group count; do
    gif="$scratch/$name.gif"
    "$magick" -delay 10 "$scratch/frames/$name"/frame_*.bmp -layers optimize "$gif"
    size=$(stat -c %s "$gif")
    [ "$size" -le 1000000 ] || continue # over the tool's limit for a file
    mkdir -p "$scratch/split"
    tivrano_ms=$(median_cpu "$tool" --name=anim --pack "$gif")
    unpacked_ms=$(median_cpu "$tool" --name=anim "$gif")
    magick_ms=$(median_cpu "$magick" "$gif" -set background none -coalesce -background black \
        -alpha remove -alpha off +repage -depth 8 -type TrueColor +adjoin \
        "BMP3:$scratch/split/frame_%d.bmp")
    ratio=$(python3 -c "print('%.3f' % ($tivrano_ms / $magick_ms))")
    printf '%-14s %6s %6s %9s ms %7s ms %9s ms %7s\n' "$name" "$count" "$size" "$tivrano_ms" \
        "$unpacked_ms" "$magick_ms" "$ratio"
    rm -rf "$scratch/split"
done <"$scratch/list"

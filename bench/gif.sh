#!/usr/bin/env bash
# An animated GIF into a packed animation: the tool alone, which decodes the GIF itself, against
# ImageMagick splitting the same GIF into BMP frames, which was the first step before the tool
# read GIFs (and which the tool's work then came after).
#
#   bash bench/gif.sh [TIVRANO]     # ROUNDS=N for more runs (default 21); PACK=small packs small
#
# The GIFs are the benchmark's animations (bench/animations.py), or with FRAMES=DIR those of DIR (as
# bench/animations.sh takes them), joined by ImageMagick, with a delay, each frame laid on the one
# before as an optimising editor leaves them. Three commands run in turn, ROUNDS rounds of them, so
# that a machine slowed for a while slows each alike: the tool packed, the tool unpacked (the
# decoding and the text without the packing's search), and ImageMagick. Printed are the median CPU
# time (user + system) of each, the ratio of the first median to ImageMagick's, and the median of
# the rounds' own ratios of the two (paired).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=$(realpath "${1:-$here/../build/tivrano}")
rounds=${ROUNDS:-21}
magick=$(command -v magick || echo /usr/bin/convert)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ -n "${FRAMES:-}" ]; then # frames made elsewhere, as bench/animations.sh takes them
    ln -s "$(cd "$FRAMES" && pwd)" "$scratch/frames"
    cp "$FRAMES/list" "$scratch/list"
else
    python3 "$here/animations.py" "$scratch/frames" >"$scratch/list"
fi
# The medians of ROUNDS rounds of the commands given one a line on standard input, in
# milliseconds of CPU, and the median of the rounds' ratios of the first command to the last.
medians() {
    python3 -c '
import resource, shlex, statistics, subprocess, sys
rounds, commands = int(sys.argv[1]), [shlex.split(line) for line in sys.stdin]
times = [[] for _ in commands]
for _ in range(rounds):
    for command, taken in zip(commands, times):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        taken.append((after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000)
print(*("%.1f" % statistics.median(taken) for taken in times),
      "%.3f" % statistics.median(a / b for a, b in zip(times[0], times[-1])))
' "$rounds"
}
line() { # a command as a line of words quoted for the shell
    printf '%q ' "$@"
    printf '\n'
}
printf '%-20s %6s %6s %12s %10s %12s %7s %7s\n' GIF frames bytes "tivrano" "unpacked" "ImageMagick" \
    ratio paired
while read -r name _group count; do
    gif="$scratch/$name.gif"
    "$magick" -delay 10 "$scratch/frames/$name"/*.bmp -layers optimize "$gif"
    size=$(stat -c %s "$gif")
    [ "$size" -le 1000000 ] || continue # over the tool's limit for a file
    mkdir -p "$scratch/split"
    read -r tivrano_ms unpacked_ms magick_ms paired < <({
        line "$tool" --name=anim --pack="${PACK:-fast}" "$gif"
        line "$tool" --name=anim "$gif"
        line "$magick" "$gif" -set background none -coalesce -background black -alpha remove \
            -alpha off +repage -depth 8 -type TrueColor +adjoin "BMP3:$scratch/split/frame_%d.bmp"
    } | medians)
    ratio=$(python3 -c "print('%.3f' % ($tivrano_ms / $magick_ms))")
    printf '%-20s %6s %6s %9s ms %7s ms %9s ms %7s %7s\n' "$name" "$count" "$size" "$tivrano_ms" \
        "$unpacked_ms" "$magick_ms" "$ratio" "$paired"
    rm -rf "$scratch/split"
done <"$scratch/list"

#!/usr/bin/env bash
# Measures the player on a Cortex-M0+ (on the micro:bit's Cortex-M0), a Cortex-M3 (the MPS2
# AN385) and an RV32IMC core, with the firmware of this folder, on animations
# bench/animations.py draws:
#   - the instructions tivrano_player_next takes for a frame, the most and the mean over every
#     frame twice round, counted in QEMU's trace of each instruction it runs (-singlestep
#     -d exec,nochain), from entering player_next until back in main;
#   - the bytes of the player's code (player_next and player_frame, which call
#     tivrano_player_next and tivrano_frame, and what the compiler left of the header out of
#     line: nm -S), and of the whole firmware's code and constants (size).
# Needs python3, gcc-arm-none-eabi, qemu-system-arm, clang, lld and qemu-user.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${BUILD_DIR:-build-release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target tivrano >/dev/null
tool=$(cd "$build" && pwd)/tivrano
here=$(pwd)
cores=$here/tests/support/cores
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
flags=(-Os -std=c99 -pedantic -Wall -Wextra -Werror -ffreestanding -nostdlib -I. -I"$here/include"
    -I"$cores")
semihosting=(-display none -monitor none -serial none -semihosting-config enable=on,target=native)
trace=(-singlestep -d exec,nochain -D /dev/fd/3)

build() { # core: builds firmware-core.elf in the current folder
    case $1 in
    m0plus | m3)
        arm-none-eabi-gcc -mthumb -mcpu=cortex-"$1" "${flags[@]}" -T "$cores/cortex_m.ld" \
            "$cores/cortex_m.c" "$cores/play.c" animation.c -o "firmware-$1.elf" ;;
    rv32imc)
        clang --target=riscv32-unknown-elf -march=rv32imc -mabi=ilp32 -fuse-ld=lld -static \
            "${flags[@]}" "$cores/rv32.c" "$cores/play.c" animation.c -o "firmware-$1.elf" ;;
    esac
}

run_traced() { # core: the emulator's trace on descriptor 3, the firmware's output dropped
    case $1 in
    m0plus) qemu-system-arm -M microbit "${semihosting[@]}" "${trace[@]}" -kernel firmware-m0plus.elf ;;
    m3) qemu-system-arm -M mps2-an385 "${semihosting[@]}" "${trace[@]}" -kernel firmware-m3.elf ;;
    rv32imc) qemu-riscv32 "${trace[@]}" firmware-rv32imc.elf ;;
    esac
}

# The last word of a trace line is the function the instruction is in.
count='
$NF == "player_next" && mode != "next" { mode = "next"; frames++ }
$NF == "player_frame" { mode = "frame" }
$NF == "main" { if (mode == "next") { most = n > most ? n : most; total += n; n = 0 } mode = "" }
mode == "next" { n++ }
END { printf "%d / %d", most, total / frames }'

echo "| Animation | Size | Frames | Cortex-M0+ | Cortex-M3 | RV32IMC |"
echo "|---|---|---|---|---|---|"
python3 bench/animations.py "$work/frames" >"$work/list"
for name in ${ANIMATIONS:-ghost fire scroll plasma32 runner64x32 photo}; do
    mkdir "$work/$name" && cd "$work/$name"
    "$tool" --name=animation --pack --header=animation.h -o animation.c "$work/frames/$name"/*.bmp
    size=$(sed -n 's/^Breite: \([0-9]*\), Hoehe: \([0-9]*\).*/\1 x \2/p' animation.c)
    row="| $name | $size | $(ls "$work/frames/$name" | wc -l) |"
    for core in m0plus m3 rv32imc; do
        build "$core"
        row+=" $(run_traced "$core" 3>&1 >/dev/null 2>&1 | awk "$count") |"
    done
    echo "$row"
    cd "$here"
done

echo
echo "| Core | Player's code (nm -S) | Firmware's code and constants (size) |"
echo "|---|---|---|"
cd "$work/ghost"
for core in Cortex-M0+:m0plus Cortex-M3:m3 RV32IMC:rv32imc; do
    label=${core%:*} core=${core#*:}
    nm=arm-none-eabi-nm size=arm-none-eabi-size
    [ "$core" != rv32imc ] || { nm=llvm-nm; size=llvm-size; }
    player=$("$nm" -S --radix=d "firmware-$core.elf" |
        awk '$4 ~ /^(player_next|player_frame|tivrano_.*)$/ { sum += $2 } END { print sum }')
    text=$("$size" "firmware-$core.elf" | awk 'NR == 2 { print $1 }')
    echo "| $label | $player bytes | $text bytes (ghost, $(grep -o '[0-9]* bytes stored on an AVR' animation.c | cut -d' ' -f1) of them stored) |"
done

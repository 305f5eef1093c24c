#!/bin/bash
# Two passes to a size, against our one pass at the same data rate and
# ffmpeg's own two passes (-pass 1 / -pass 2, -b:v worked out from the size),
# on the same sources: size reached, PSNR against the source (ffmpeg's psnr
# filter, the average over all pictures) and wall time.
#
#   bench/size_vs_ffmpeg.sh BUILD_DIR WORK_DIR SOURCE:MB [SOURCE:MB ...]
#
# Every job is MPEG-4 Part 2 with a key frame every 12 pictures and no
# B-frames, WMA v2 at 128 kbit/s in AVI. Sources: the tests' quiet-busy.vob,
# the benchmark's grain-10min.vob, and scenes of 8 s taking turns, calm and
# grainy:
#   ffmpeg -f lavfi -i "testsrc2=size=720x480:rate=30000/1001,noise=alls=14:allf=t:enable='lt(mod(t\,16)\,8)'" \
#     -f lavfi -i sine=frequency=440:sample_rate=48000 -t 120 -target ntsc-dvd -b:v 6000k -ac 2 scenes.vob
set -euo pipefail
build=$(realpath "$1")
work=$(realpath -m "$2")
shift 2
mkdir -p "$work"
convert="$build/bin/vobcast-convert"

wall() {  # wall seconds of a command, its output dropped
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
psnr() {  # the average PSNR of $1 against the source $2, picture by picture in order (ffmpeg's
          # AVI times its second picture two frames late)
    ffmpeg -nostdin -v info -i "$1" -i "$2" -lavfi "[0:v]setpts=N/FRAME_RATE/TB[a];[1:v]setpts=N/FRAME_RATE/TB[b];[a][b]psnr" -an -f null - 2>&1 |
        sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1
}
video_bytes() {
    ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 "$1" | awk '{s += $1} END {print s}'
}
row() {  # name target file seconds
    local size
    size=$(stat -c %s "$3")
    printf "%-34s %8s %10.2f %+7.2f%% %8s %8.1f\n" "$1" "$2" "$(echo "$size / 1000000" | bc -l)" \
        "$(echo "($size / ($2 * 1000000) - 1) * 100" | bc -l)" "$(psnr "$3" "$src")" "$4"
}

printf "%-34s %8s %10s %8s %8s %8s\n" "source / coder" "target" "MB" "off" "PSNR" "wall s"
for job in "$@"; do
    src=$(realpath "${job%:*}")
    mb=${job##*:}
    name=$(basename "$src" .vob)
    out="$work/$name"
    mkdir -p "$out"
    seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$src")

    t=$(wall "$convert" --overwrite --keyint 12 --size "$mb" -o "$out" "$src")
    mv "$out/$name.avi" "$out/size.avi"
    row "$name: ours --size" "$mb" "$out/size.avi" "$t"

    # The same data rate in one pass: what the two passes' video took, asked
    # for, and then corrected once by what the one pass missed it by.
    video=$(video_bytes "$out/size.avi")
    kbps=$(echo "$video * 8 / $seconds / 1000" | bc)
    t=$(wall "$convert" --overwrite --keyint 12 --bitrate "$kbps" -o "$out" "$src")
    mv "$out/$name.avi" "$out/one-pass.avi"
    row "$name: ours one pass" "$mb" "$out/one-pass.avi" "$t"
    kbps=$(echo "$kbps * $video / $(video_bytes "$out/one-pass.avi")" | bc)
    t=$(wall "$convert" --overwrite --keyint 12 --bitrate "$kbps" -o "$out" "$src")
    mv "$out/$name.avi" "$out/one-pass-2.avi"
    row "$name: ours one pass, again" "$mb" "$out/one-pass-2.avi" "$t"

    # ffmpeg: the video's rate from the size, less the sound and the AVI's own
    # bytes as ours reckons them.
    rate=$(echo "($mb * 1000000 - 16384) * 8 / $seconds - 142000" | bc)
    ff=(ffmpeg -nostdin -v error -y -i "$src" -map 0:v:0 -fps_mode passthrough -c:v mpeg4 -g 12 -bf 0 -b:v "$rate" -passlogfile "$out/ff")
    t1=$(wall "${ff[@]}" -pass 1 -an -f null -)
    t2=$(wall "${ff[@]}" -pass 2 -map 0:a:0 -c:a wmav2 -b:a 128k -ac 2 "$out/ffmpeg.avi")
    row "$name: ffmpeg two passes" "$mb" "$out/ffmpeg.avi" "$(echo "$t1 + $t2" | bc)"
    t=$(wall ffmpeg -nostdin -v error -y -i "$src" -map 0:v:0 -map 0:a:0 -fps_mode passthrough -c:v mpeg4 -g 12 -bf 0 -b:v "$rate" \
        -c:a wmav2 -b:a 128k -ac 2 "$out/ffmpeg-one.avi")
    printf "%-34s %8s %10s %8s %8s %8.1f\n" "$name: ffmpeg one pass" "" "" "" "" "$t"
done

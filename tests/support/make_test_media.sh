#!/usr/bin/env bash
# Makes the tests' DVD media in $1 (once; a file that exists is kept).
#
# The plain clips come from GStreamer's test sources, through mjpegtools'
# MPEG-2 encoder and libav's AC-3 encoder and DVD multiplexer. The sync media
# mark the same instants in picture and sound: a white frame and a 1 kHz beep
# at 1.001 s and every 2.002 s after it (frame 30, 90, ... at 30000/1001; 25,
# 75, ... at 25 fps), over a dimmed test pattern and a quiet 300 Hz hum.
#
#   make_test_media.sh DIR                     the test media, in DIR
#   make_test_media.sh --clip FILE SECONDS     one marked NTSC DVD clip (ffmpeg)
#   make_test_media.sh --grain FILE SECONDS    the same with film-like grain on every frame
#   make_test_media.sh --sample FILE           the 20-second plain clip (GStreamer only)
set -euo pipefail
case "${1-}" in
  --clip) clip=$(realpath -m "$2") seconds=$3; set -- "$(dirname "$clip")" ;;
  --grain) clip=$(realpath -m "$2") seconds=$3 grain=",noise=alls=12:allf=t"; set -- "$(dirname "$clip")" ;;
  --sample) sample=$(realpath -m "$2"); set -- "$(dirname "$sample")" ;;
esac
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$1"
cd "$1"
work="$(mktemp -d "$PWD/.work.XXXXXX")"
# A failure in the foreground waits for the background's clips to end before
# their work folder goes.
trap 'wait; rm -rf "$work"' EXIT

ff() { ffmpeg -nostdin -v error -y "$@"; }

# picture SECONDS RATE PERIOD FIRST [extra filters]: the marked test pattern.
picture() {
  local s=$1 r=$2 period=$3 first=$4 size=${5:-720x480}
  echo "testsrc2=s=$size:r=$r:d=$s,lutyuv=y=val*0.5[b];color=white:s=$size:r=$r:d=$s[w];[b][w]overlay=enable='eq(mod(n\\,$period)\\,$first)'"
}
# beep SECONDS FIRST PERIOD LAYOUT HUM: the marked sound, every channel alike,
# over a hum of HUM Hz (300 by default).
beep() {
  echo "aevalsrc='0.02*sin(2*PI*${5:-300}*t)+gte(t\\,$2)*lt(mod(t-$2\\,$3)\\,0.1)*0.5*sin(2*PI*1000*t)':s=48000:d=$1:c=${4:-stereo},asetnsamples=n=1536"
}
ntsc_dvd=(-target ntsc-dvd -aspect 4:3 -b:v 6000k -c:a ac3 -b:a 448k)

# patch_ifos FILE...: runs the Python on standard input over each IFO file's
# bytes (the bytearray ifo, with struct imported) and writes them back.
patch_ifos() {
  local edit
  edit=$(cat)
  for file in "$@"; do
    python3 - "$file" "$edit" <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    ifo = bytearray(f.read())
    exec(sys.argv[2])
    f.seek(0)
    f.write(ifo)
PY
  done
}

# exists NAME: whether NAME was made by an earlier run; place NAME moves what
# was made in the work folder into place once it is complete.
exists() { [ -s "$1" ]; }
place() { mv "$work/$1" "$1"; }

# marked SECONDS NAME: NTSC DVD video and AC-3 stereo, marked, made in the work folder
# (with grain, as films have, when $grain holds its filter).
marked() {
  ff -filter_complex "$(picture "$1" 30000/1001 60 30)${grain-}[v];$(beep "$1" 1.001 2.002)[a]" -map "[v]" -map "[a]" \
    "${ntsc_dvd[@]}" "$work/$2"
}

# plain NAME WIDTH HEIGHT RATE FRAMES AUDIO [PATTERN]: a clip of GStreamer's
# test pattern (videotestsrc PATTERN and its settings) made in the work folder.
# AUDIO holds the audio branches, each ending in "mx.", with %A for the number
# of 1024-sample buffers that last as long as the picture.
plain() {
  local buffers=$(( $5 * ${4#*/} * 48000 / ${4%/*} / 1024 + 1 ))
  gst-launch-1.0 -q videotestsrc pattern=${7:-ball} num-buffers=$5 ! \
    video/x-raw,width=$2,height=$3,framerate=$4 ! videoconvert ! video/x-raw,format=I420 ! \
    mpeg2enc format=8 bitrate=6000 ! mpegvideoparse ! queue ! avmux_dvd name=mx ! \
    filesink location="$work/$1" ${6//%A/$buffers} > /dev/null
}
ac3="audiotestsrc num-buffers=%A ! audioconvert ! audio/x-raw,rate=48000,channels=2 ! avenc_ac3 bitrate=448000 ! ac3parse ! queue ! mx."

if [ -n "${sample-}" ]; then
  plain sample.vob 720 480 30000/1001 600 "$ac3"
  mv "$work/sample.vob" "$sample"
  exit 0
fi

if [ -n "${clip-}" ]; then
  marked "$seconds" clip.vob
  mv "$work/clip.vob" "$clip"
  exit 0
fi

# The plain clips, made beside the rest: the MPEG-2 encoder that makes them
# keeps one core busy.
plain_clips() {
  exists ntsc.vob || { plain ntsc.vob 720 480 30000/1001 120 "$ac3"; place ntsc.vob; }
  exists pal.vob || { plain pal.vob 720 576 25/1 75 "$ac3"; place pal.vob; }
  exists long.vob || { plain long.vob 720 480 30000/1001 600 "$ac3"; place long.vob; }
  # A second audio stream: stereo AC-3 as 0x80, mono AC-3 as 0x81.
  exists two-audio.vob || {
    plain two-audio.vob 720 480 30000/1001 90 "$ac3 audiotestsrc freq=1000 num-buffers=%A ! audioconvert ! \
      audio/x-raw,rate=48000,channels=1 ! avenc_ac3 bitrate=192000 ! ac3parse ! queue ! mx."
    place two-audio.vob
  }
  # No sound at all.
  exists no-audio.vob || { plain no-audio.vob 720 480 30000/1001 60 ""; place no-audio.vob; }
  # Fine moving detail, where the video data rate decides the file size.
  exists detail.vob || {
    plain detail.vob 720 480 30000/1001 60 "$ac3" "zone-plate kx2=20 ky2=20 kt=1 kxt=2"
    place detail.vob
  }
}
plain_clips &
plain_job=$!

exists flash.vob || { marked 20 flash.vob; place flash.vob; }

# PAL, 16:9.
exists pal-wide.vob || {
  ff -filter_complex "$(picture 10 25 50 25 720x576)[v];$(beep 10 1.0 2.0)[a]" -map "[v]" -map "[a]" \
    -target pal-dvd -aspect 16:9 -b:v 6000k -c:a ac3 -b:a 448k "$work/pal-wide.vob"
  place pal-wide.vob
}

# Two titles in one VOB, as dvdauthor writes a title set: the clock starts
# again at the second.
exists two-titles.vob || {
  for t in a:10 b:8; do
    ff -filter_complex "$(picture "${t#*:}" 30000/1001 60 30)[v];$(beep "${t#*:}" 1.001 2.002)[a]" \
      -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "$work/title-${t%%:*}.vob"
  done
  cat > "$work/two.xml" <<XML
<dvdauthor dest="$work/disc">
  <vmgm />
  <titleset><titles>
    <pgc><vob file="$work/title-a.vob" /></pgc>
    <pgc><vob file="$work/title-b.vob" /></pgc>
  </titles></titleset>
</dvdauthor>
XML
  VIDEO_FORMAT=NTSC dvdauthor -x "$work/two.xml" >/dev/null 2>&1
  mv "$work/disc/VIDEO_TS/VTS_01_1.VOB" "$work/two-titles.vob"
  place two-titles.vob
}

# Film: 23.976 pictures a second with 3:2 repeat-field flags (mpeg2enc -p),
# multiplexed for DVD by mplex.
exists film.vob || {
  ff -filter_complex "$(picture 8 24000/1001 48 24)" -pix_fmt yuv420p -f yuv4mpegpipe "$work/film.y4m"
  mpeg2enc -v 0 -f 8 -p -F 1 -a 2 -b 6000 -o "$work/film.m2v" < "$work/film.y4m" 2>/dev/null
  ff -filter_complex "$(beep 8 1.001 2.002)" -c:a ac3 -b:a 448k "$work/film.ac3"
  mplex -v 0 -f 8 -o "$work/film.vob" "$work/film.m2v" "$work/film.ac3"
  place film.vob
}

# Sound that starts 1.5 s after the picture.
exists late-audio.vob || {
  ff -filter_complex "$(picture 12 30000/1001 60 30)[v];$(beep 12 1.001 2.002),atrim=start=1.5,asetnsamples=n=1536[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "$work/late-audio.vob"
  place late-audio.vob
}

# 5.1 with the beep in the centre channel alone, the hum in the others.
exists surround.vob || {
  ff -filter_complex "$(picture 8 30000/1001 60 30)[v];aevalsrc='0.01*sin(2*PI*300*t)|0.01*sin(2*PI*300*t)|gte(t\\,1.001)*lt(mod(t-1.001\\,2.002)\\,0.1)*0.5*sin(2*PI*1000*t)|0|0.01*sin(2*PI*200*t)|0.01*sin(2*PI*200*t)':s=48000:d=8:c=5.1,asetnsamples=n=1536[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" -ac 6 "$work/surround.vob"
  place surround.vob
}

# Six loud channels in phase: a plain sum would clip.
exists loud-surround.vob || {
  ff -filter_complex "$(picture 4 30000/1001 60 30)[v];aevalsrc='0.9*sin(2*PI*440*t)':s=48000:d=4:c=5.1,asetnsamples=n=1536[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" -ac 6 "$work/loud-surround.vob"
  place loud-surround.vob
}

# LPCM as the first audio stream, AC-3 as the second, and a subpicture stream.
exists lpcm-ac3-sub.vob || {
  ff -filter_complex "$(picture 8 30000/1001 60 30)[v];$(beep 8 1.001 2.002),asplit[a1][a2]" \
    -map "[v]" -map "[a1]" -map "[a2]" -target ntsc-dvd -b:v 6000k -c:a:0 pcm_s16be -c:a:1 ac3 -b:a:1 448k \
    "$work/lpcm-ac3.vob" 2>/dev/null
  ff -f lavfi -i "color=c=black@0.0:s=720x480,format=rgba,drawbox=x=100:y=400:w=300:h=40:color=yellow@1:t=fill" \
    -frames:v 1 "$work/sub.png"
  cat > "$work/sub.xml" <<XML
<subpictures><stream><spu start="00:00:01.00" end="00:00:03.00" image="$work/sub.png" /></stream></subpictures>
XML
  spumux -s 0 "$work/sub.xml" < "$work/lpcm-ac3.vob" > "$work/lpcm-ac3-sub.vob" 2>/dev/null
  place lpcm-ac3-sub.vob
}

# What real discs carry beyond progressive pictures with AC-3 sound. Flashes
# that cover both fields of a frame: one frame of film, two pictures of
# 59.94 video (each becomes one field).
flash_at() { echo "lt(mod(t-1.001+0.005\\,2.002)\\,0.035)"; }
# The pattern is drawn at half size and scaled up: its one-line edges would
# read as combing to a detector even in a progressive picture.
marked_at() { # SECONDS RATE [TAG]: the marked pattern, flashes timed by the clock
  echo "testsrc2=s=360x240:r=$2:d=$1,scale=720:480,lutyuv=y=val*0.5[b${3-}];color=white:s=720x480:r=$2:d=$1[w${3-}];[b${3-}][w${3-}]overlay=enable='$(flash_at)'"
}
interlaced=(-flags +ilme+ildct -top 1)

# Interlaced video: 59.94 pictures woven into fields, top field first.
exists interlaced.vob || {
  ff -filter_complex "$(marked_at 8 60000/1001),interlace=scan=tff:lowpass=0,setfield=tff[v];$(beep 8 1.001 2.002)[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "${interlaced[@]}" "$work/interlaced.vob"
  place interlaced.vob
}

# Scene cuts: two moving patterns taking turns every 1.5 s, and a white card
# for 0.1 s every 2 s from 1 s (with a beep), the cut a detector judging by
# the pictures before lags behind.
scenes() { # SECONDS RATE TAG: the cut pictures
  echo "testsrc2=s=360x240:r=$2:d=$1,scale=720:480[p$3];testsrc=s=360x240:r=$2:d=$1,hflip,scale=720:480[q$3];[p$3][q$3]overlay=enable='gte(mod(t\,3.003)\,1.5015)'[c$3];color=white:s=720x480:r=$2:d=$1[w$3];[c$3][w$3]overlay=enable='lt(mod(t-1.001\,2.002)\,0.1)*gte(t\,1)'"
}
cuts() { echo "$(scenes "$1" 60000/1001 "$2"),interlace=scan=tff:lowpass=0,setfield=tff"; } # at 59.94, woven
exists interlaced-cuts.vob || {
  ff -filter_complex "$(cuts 12 a)[v];$(beep 12 1.001 2.002)[a]" -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "${interlaced[@]}" \
    "$work/interlaced-cuts.vob"
  place interlaced-cuts.vob
}

# Progressive video for 6 s (coded as interlaced, as a DVD may), then the cuts
# for 6 s.
exists progressive-cuts.vob || {
  ff -filter_complex "testsrc2=s=360x240:r=30000/1001:d=6.006,scale=720:480,setfield=tff[p];$(cuts 6.006 b)[i];[p][i]concat=n=2:v=1:a=0[v];$(beep 12.012 1.001 2.002)[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "${interlaced[@]}" "$work/progressive-cuts.vob"
  place progressive-cuts.vob
}

# The scenes as film pulled down 3:2.
exists film-cuts.vob || {
  ff -filter_complex "$(scenes 12 24000/1001 f),telecine=first_field=top:pattern=23,setfield=tff[v];$(beep 12 1.001 2.002)[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "${interlaced[@]}" "$work/film-cuts.vob"
  place film-cuts.vob
}

# Hard telecine: 23.976 film pulled down 3:2 into interlaced 29.97 frames.
exists telecine.vob || {
  ff -filter_complex "$(marked_at 12 24000/1001),telecine=first_field=top:pattern=23,setfield=tff[v];$(beep 12 1.001 2.002)[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "${interlaced[@]}" "$work/telecine.vob"
  place telecine.vob
}

# Film for 6 s, then interlaced video for 6 s, in one stream.
exists film-video.vob || {
  ff -filter_complex "$(marked_at 6.006 24000/1001 f),telecine=first_field=top:pattern=23,setfield=tff[f];$(marked_at 6.006 60000/1001 i),interlace=scan=tff:lowpass=0,setfield=tff[i];[f][i]concat=n=2:v=1:a=0[v];$(beep 12.012 1.001 2.002)[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "${interlaced[@]}" "$work/film-video.vob"
  place film-video.vob
}

# One picture over 30 s of 5.1 sound (a slideshow's still, an audio title).
exists still.vob || {
  ff -filter_complex "testsrc2=s=720x480:r=30000/1001:d=0.04[v];$(beep 30 99 2.002 5.1)[a]" -map "[v]" -map "[a]" \
    "${ntsc_dvd[@]}" -ac 6 "$work/still.vob"
  place still.vob
}

# Stills 5 s apart, each shown at once (low delay): the third is white, with a
# beep as it comes.
exists stills.vob || {
  ff -filter_complex "testsrc2=s=720x480:r=1/5:d=30,lutyuv=y=val*0.5[b];color=white:s=720x480:r=1/5:d=30[w];[b][w]overlay=enable='eq(n\\,2)',settb=1/5[v];$(beep 30 10 30)[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" -fps_mode passthrough -bf 0 -flags +low_delay "$work/stills.vob" 2>/dev/null
  place stills.vob
}

# PAL with MPEG-1 Layer II sound only.
exists pal-mp2.vob || {
  ff -filter_complex "$(picture 10 25 50 25 720x576)[v];$(beep 10 1.0 2.0),asetnsamples=n=1152[a]" -map "[v]" -map "[a]" \
    -target pal-dvd -b:v 6000k -c:a mp2 -b:a 224k "$work/pal-mp2.vob" 2>/dev/null
  place pal-mp2.vob
}

# LPCM sound only.
exists lpcm.vob || {
  ff -filter_complex "$(picture 8 30000/1001 60 30)[v];$(beep 8 1.001 2.002)[a]" -map "[v]" -map "[a]" \
    -target ntsc-dvd -b:v 6000k -c:a pcm_s16be "$work/lpcm.vob"
  place lpcm.vob
}

# AC-3, and DTS as the second track with its hum at 700 Hz.
exists ac3-dts.vob || {
  ff -filter_complex "$(picture 8 30000/1001 60 30)[v];$(beep 8 1.001 2.002)[a];$(beep 8 1.001 2.002 stereo 700),asetnsamples=n=512[d]" \
    -map "[v]" -map "[a]" -map "[d]" -target ntsc-dvd -b:v 6000k -c:a:0 ac3 -b:a:0 448k -c:a:1 dca -strict -2 \
    -b:a:1 754k "$work/ac3-dts.vob" 2>/dev/null
  place ac3-dts.vob
}

# A film to code to a size: 30 s without grain, then 30 s with it, which costs
# several times the bits.
exists quiet-busy.vob || {
  ff -filter_complex "testsrc2=s=720x480:r=30000/1001:d=60,noise=alls=14:allf=t:enable='gte(t\,30)'[v];$(beep 60 1.001 2.002)[a]" \
    -map "[v]" -map "[a]" "${ntsc_dvd[@]}" "$work/quiet-busy.vob"
  place quiet-busy.vob
}

# A letterboxed film: a 720x300 picture with grain between black bars in a
# 16:9 frame, its first 8 s a dark scene (dark rows at the picture's edges too).
exists letterbox.vob || {
  ff -filter_complex "testsrc2=s=720x300:r=30000/1001:d=20,noise=alls=12:allf=t,eq=contrast=0.2:brightness=-0.25:enable='lt(t\,8)',pad=720:480:0:90:black[v];$(beep 20 1.001 2.002)[a]" \
    -map "[v]" -map "[a]" -target ntsc-dvd -aspect 16:9 -b:v 6000k -c:a ac3 -b:a 448k "$work/letterbox.vob"
  place letterbox.vob
}

# Ten minutes, where a rate error adds up.
exists ten-minutes.vob || { marked 600 ten-minutes.vob; place ten-minutes.vob; }

# A DVD, as a VIDEO_TS folder and as an ISO image labelled MY_FILM. One title
# set holds two titles; each has an English track (hum at 300 Hz) and a German
# one (hum at 700 Hz), and English and German subtitles. Title 1 plays two
# cells made apart (8 s, then 6 s) and title 2 one (5 s). VTS_01_1.VOB is cut
# in two at a sector in the middle of title 1, as a disc's 1 GB files are cut
# wherever the limit falls. The first cell's subtitles: English, a yellow bar
# low in the picture from 1 to 3 s and a forced white one from 5 to 7 s;
# German, a cyan bar high in the picture from 2 to 4 s. spumux loses a packet
# of stream 0 when stream 1 is added after it, so German goes in first.
# with_subtitles IN EN DE OUT: IN with the subpictures of EN as stream 0 and
# of DE as stream 1 (spumux's XML files), all in the work folder.
with_subtitles() {
  VIDEO_FORMAT=NTSC spumux -s 1 "$work/$3" < "$work/$1" > "$work/$1.de" 2>/dev/null
  VIDEO_FORMAT=NTSC spumux -s 0 "$work/$2" < "$work/$1.de" > "$work/$4" 2>/dev/null
}
subtitle_bar() { # FILE Y COLOUR (drawbox would leave the bar transparent)
  ff -f lavfi -i "color=c=black@0.0:s=720x480,format=rgba" -f lavfi -i "color=c=$3:s=480x36,format=rgba" \
    -filter_complex "[0][1]overlay=120:$2" -frames:v 1 "$work/$1"
}
exists disc.iso || {
  for t in a:8 b:6 c:5; do
    s="${t#*:}"
    ff -filter_complex "$(picture "$s" 30000/1001 60 30)[v];$(beep "$s" 1.001 2.002 stereo 300)[en];$(beep "$s" 1.001 2.002 stereo 700)[de]" \
      -map "[v]" -map "[en]" -map "[de]" "${ntsc_dvd[@]}" "$work/cell-${t%%:*}.vob"
  done
  subtitle_bar sub-en.png 400 yellow
  subtitle_bar sub-en-forced.png 400 white
  subtitle_bar sub-de.png 48 cyan
  cat > "$work/sub-de.xml" <<XML
<subpictures><stream><spu start="00:00:02.00" end="00:00:04.00" image="$work/sub-de.png" /></stream></subpictures>
XML
  cat > "$work/sub-en.xml" <<XML
<subpictures><stream>
  <spu start="00:00:01.00" end="00:00:03.00" image="$work/sub-en.png" />
  <spu start="00:00:05.00" end="00:00:07.00" image="$work/sub-en-forced.png" force="yes" />
</stream></subpictures>
XML
  with_subtitles cell-a.vob sub-en.xml sub-de.xml cell-a.vob
  cat > "$work/disc.xml" <<XML
<dvdauthor dest="$work/dvd">
  <vmgm />
  <titleset><titles>
    <audio lang="en" /><audio lang="de" />
    <subpicture lang="en" /><subpicture lang="de" />
    <pgc><vob file="$work/cell-a.vob" chapters="0,0:04" /><vob file="$work/cell-b.vob" /></pgc>
    <pgc><vob file="$work/cell-c.vob" /></pgc>
  </titles></titleset>
</dvdauthor>
XML
  VIDEO_FORMAT=NTSC dvdauthor -x "$work/disc.xml" >/dev/null 2>&1
  vob="$work/dvd/VIDEO_TS/VTS_01_1.VOB"
  half=$(( $(stat -c %s "$vob") / 2 / 2048 ))
  tail -c +$(( half * 2048 + 1 )) "$vob" > "$work/dvd/VIDEO_TS/VTS_01_2.VOB"
  truncate -s $(( half * 2048 )) "$vob"
  genisoimage -quiet -dvd-video -V MY_FILM -o "$work/disc.iso" "$work/dvd" 2>/dev/null
  rm -rf disc
  mv "$work/dvd" disc
  place disc.iso
}

# Subtitles that a reader waiting for them would hang on: a 12-second title of
# a dark picture whose English track (1) shows one subpicture, a yellow bar low
# from 2 to 4 s, and nothing after; whose German track (2), multiplexed first,
# shows its first only from 6 to 8 s, a cyan bar high; and a French track (3)
# that the IFO names and the title never carries. As an ISO image labelled
# SUBS and as its VIDEO_TS folder.
exists subs.iso || {
  ff -f lavfi -i "color=c=0x202020:s=720x480:r=30000/1001:d=12" -filter_complex "$(beep 12 1.001 2.002)[a]" \
    -map 0:v -map "[a]" "${ntsc_dvd[@]}" "$work/subs-base.vob"
  subtitle_bar subs-en.png 400 yellow
  subtitle_bar subs-de.png 48 cyan
  for l in en:2:4 de:6:8; do
    IFS=: read -r lang from to <<< "$l"
    echo "<subpictures><stream><spu start=\"00:00:0$from.00\" end=\"00:00:0$to.00\" image=\"$work/subs-$lang.png\" /></stream></subpictures>" \
      > "$work/subs-$lang.xml"
  done
  with_subtitles subs-base.vob subs-en.xml subs-de.xml subs-both.vob
  cat > "$work/subs.xml" <<XML
<dvdauthor dest="$work/subs">
  <vmgm />
  <titleset><titles>
    <audio lang="en" />
    <subpicture lang="en" /><subpicture lang="de" /><subpicture lang="fr" />
    <pgc><vob file="$work/subs-both.vob" /></pgc>
  </titles></titleset>
</dvdauthor>
XML
  VIDEO_FORMAT=NTSC dvdauthor -x "$work/subs.xml" >/dev/null 2>&1
  # dvdauthor marks the French track unavailable in the title's program chain
  # (its subpicture stream control, at 0x1C of the PGC), since no stream
  # carries it; a disc may mark it available all the same.
  patch_ifos "$work"/subs/VIDEO_TS/VTS_01_0.{IFO,BUP} <<'PY'
pgcit = struct.unpack_from(">I", ifo, 0xCC)[0] * 2048
pgc = pgcit + struct.unpack_from(">I", ifo, pgcit + 12)[0]
struct.pack_into(">I", ifo, pgc + 0x1C + 8, 0x82000000)
PY
  genisoimage -quiet -dvd-video -V SUBS -o "$work/subs.iso" "$work/subs" 2>/dev/null
  rm -rf subs
  mv "$work/subs" subs
  place subs.iso
}

# colour_clip NAME COLOUR SECONDS HZ: a noisy plain colour and a tone, made in
# the work folder.
colour_clip() {
  ff -f lavfi -i "color=c=$2:s=720x480:r=30000/1001:d=$3,noise=alls=16:allf=t" -f lavfi -i "sine=f=$4:r=48000:d=$3" \
    -map 0:v -map 1:a "${ntsc_dvd[@]}" "$work/$1"
}

# A title set with an angle block and a seamless branch (interleave_dvd.py):
# title 1 plays green (2 s, 300 Hz), then angle 1 red (3 s, 500 Hz) or
# angle 2 blue (3 s, 900 Hz), then yellow (2 s, 300 Hz); titles 2 and 3 play
# the same green and yellow with a branch between them, red (title 2) or blue
# (title 3), interleaved apart from the angles. As its VIDEO_TS folder
# (angles) and an ISO image labelled ANGLES.
exists angles.iso || {
  for c in green:0x00a000:2:300 red:0xc00000:3:500 blue:0x0000c0:3:900 yellow:0xc0c000:2:300; do
    IFS=: read -r name colour seconds hz <<< "$c"
    colour_clip "$name.vob" "$colour" "$seconds" "$hz"
  done
  # Copies, so that dvdauthor writes the branches' VOBs apart from the angles'.
  cp "$work/red.vob" "$work/red-branch.vob"
  cp "$work/blue.vob" "$work/blue-branch.vob"
  cat > "$work/angles.xml" <<XML
<dvdauthor dest="$work/angles">
  <vmgm />
  <titleset><titles>
    <audio lang="en" />
    <pgc><vob file="$work/green.vob" /><vob file="$work/red.vob" /><vob file="$work/blue.vob" /><vob file="$work/yellow.vob" /></pgc>
    <pgc><vob file="$work/green.vob" /><vob file="$work/red-branch.vob" /><vob file="$work/yellow.vob" /></pgc>
    <pgc><vob file="$work/green.vob" /><vob file="$work/blue-branch.vob" /><vob file="$work/yellow.vob" /></pgc>
  </titles></titleset>
</dvdauthor>
XML
  VIDEO_FORMAT=NTSC dvdauthor -x "$work/angles.xml" >/dev/null 2>&1
  python3 "$here/interleave_dvd.py" "$work/angles/VIDEO_TS" --angles 1:2,3 --branch 2:2 3:2
  genisoimage -quiet -dvd-video -V ANGLES -o "$work/angles.iso" "$work/angles" 2>/dev/null
  rm -rf angles
  mv "$work/angles" angles
  place angles.iso
}

# A disc whose First Play goes to its menu, whose highlighted button (the
# second, "play") starts title 3, the film (4 s: yellow, green); titles 1, 2
# and 4 are longer decoys (5 s each), and the menu's first button would start
# title 1. As its VIDEO_TS folder (decoys).
exists decoys || {
  for c in green:0x00a000:2:300 red:0xc00000:3:500 blue:0x0000c0:3:900 yellow:0xc0c000:2:300; do
    IFS=: read -r name colour seconds hz <<< "$c"
    exists "$work/$name.vob" || colour_clip "$name.vob" "$colour" "$seconds" "$hz"
  done
  ff -f lavfi -i "color=c=0x303030:s=720x480:r=30000/1001:d=1" -f lavfi -i "anullsrc=r=48000:cl=stereo:d=1" \
    -map 0:v -map 1:a -shortest "${ntsc_dvd[@]}" "$work/menu-base.vob"
  ff -f lavfi -i "color=c=black@0.0:s=720x480,format=rgba" -f lavfi -i "color=c=white:s=200x40,format=rgba" \
    -filter_complex "[0][1]overlay=100:100[a];[a][1]overlay=100:300" -frames:v 1 "$work/buttons.png"
  cat > "$work/menu.xml" <<XML
<subpictures><stream><spu force="yes" start="00:00:00.00" highlight="$work/buttons.png" select="$work/buttons.png">
  <button name="extras" x0="100" y0="100" x1="300" y1="140" />
  <button name="play" x0="100" y0="300" x1="300" y1="340" />
</spu></stream></subpictures>
XML
  VIDEO_FORMAT=NTSC spumux -s 0 "$work/menu.xml" < "$work/menu-base.vob" > "$work/menu.vob" 2>/dev/null
  cat > "$work/decoys.xml" <<XML
<dvdauthor dest="$work/decoys">
  <vmgm>
    <fpc>jump vmgm menu 1;</fpc>
    <menus><pgc>
      <pre>button = 2048;</pre>
      <button name="extras">jump title 1;</button>
      <button name="play">jump title 3;</button>
      <vob file="$work/menu.vob" pause="inf" />
    </pgc></menus>
  </vmgm>
  <titleset><titles>
    <audio lang="en" />
    <pgc><vob file="$work/green.vob" /><vob file="$work/red.vob" /></pgc>
    <pgc><vob file="$work/green.vob" /><vob file="$work/blue.vob" /></pgc>
    <pgc><vob file="$work/yellow.vob" /><vob file="$work/green.vob" /></pgc>
    <pgc><vob file="$work/red.vob" /><vob file="$work/yellow.vob" /></pgc>
  </titles></titleset>
</dvdauthor>
XML
  VIDEO_FORMAT=NTSC dvdauthor -x "$work/decoys.xml" >/dev/null 2>&1
  rm -rf decoys
  mv "$work/decoys" decoys
}

# A disc whose program goes round its menu for good and reaches no title, so
# that the main title is found from the titles alone: title 1 plays yellow, red, green (7 s), the cells of
# title 3 shuffled, as protection schemes copy a film; title 2 is blue
# (3 s); title 3 plays green, red, yellow in the disc's order (7 s). As its
# VIDEO_TS folder (repeats).
exists repeats || {
  exists "$work/menu-base.vob" || ff -f lavfi -i "color=c=0x303030:s=720x480:r=30000/1001:d=1" \
    -f lavfi -i "anullsrc=r=48000:cl=stereo:d=1" -map 0:v -map 1:a -shortest "${ntsc_dvd[@]}" "$work/menu-base.vob"
  for c in green:0x00a000:2:300 red:0xc00000:3:500 blue:0x0000c0:3:900 yellow:0xc0c000:2:300; do
    IFS=: read -r name colour seconds hz <<< "$c"
    exists "$work/$name.vob" || colour_clip "$name.vob" "$colour" "$seconds" "$hz"
  done
  cat > "$work/repeats.xml" <<XML
<dvdauthor dest="$work/repeats">
  <vmgm>
    <fpc>jump vmgm menu 1;</fpc>
    <menus><pgc><vob file="$work/menu-base.vob" /><post>jump vmgm menu 1;</post></pgc></menus>
  </vmgm>
  <titleset><titles>
    <audio lang="en" />
    <pgc><vob file="$work/green.vob" /><vob file="$work/red.vob" /><vob file="$work/yellow.vob" /></pgc>
    <pgc><vob file="$work/blue.vob" /></pgc>
    <pgc><vob file="$work/yellow.vob" /><vob file="$work/red.vob" /><vob file="$work/green.vob" /></pgc>
  </titles></titleset>
</dvdauthor>
XML
  VIDEO_FORMAT=NTSC dvdauthor -x "$work/repeats.xml" >/dev/null 2>&1
  # The title table lists the shuffled chain first: its entries 1 and 3 change places.
  patch_ifos "$work"/repeats/VIDEO_TS/VIDEO_TS.{IFO,BUP} <<'PY'
table = struct.unpack_from(">I", ifo, 0xC4)[0] * 2048 + 8
ifo[table:table + 12], ifo[table + 24:table + 36] = ifo[table + 24:table + 36], ifo[table:table + 12]
PY
  rm -rf repeats
  mv "$work/repeats" repeats
}

wait "$plain_job"

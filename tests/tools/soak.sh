#!/usr/bin/env bash
# Converts every test source and test disc title again and again, two at a
# time, with subtitles on and off, each run bounded; fails on any run that
# does not end (a hang) or ends otherwise than it must (a failure).
#
#   soak.sh CONVERTER MEDIA [ROUNDS] [LIMIT]
#
# CONVERTER is vobcast-convert, MEDIA the test media folder; ROUNDS (3) times
# every case; LIMIT (120) seconds for one run before it counts as hung and is
# stopped. Prints a line a hang or failure, then
# "soak: R runs, H hangs, F failures in S s" and, last, the plain counts line.
set -uo pipefail
converter=$1 media=$2 rounds=${3:-3} limit=${4:-120}
work="$(mktemp -d "${TMPDIR:-/tmp}/vobcast-soak.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Each case: the status it must end with, then its arguments.
cases=()
for vob in "$media"/*.vob; do
  case "$(basename "$vob")" in
    ten-minutes.vob) continue ;;       # a benchmark of its own
    no-audio.vob) cases+=("1 $vob") ;; # refused: it has no sound
    *) cases+=("0 $vob") ;;
  esac
done
cases+=(
  "0 --subtitle-track 1 $media/lpcm-ac3-sub.vob"
  "0 --subtitle-track 1 $media/late-audio.vob"
  "0 --subtitle-track 1 $media/disc/VIDEO_TS/VTS_01_1.VOB"
  "0 --subtitle-track 2 $media/subs/VIDEO_TS/VTS_01_1.VOB"
  "0 --all-titles $media/disc.iso"
  "0 --main-title --subtitle-lang en $media/disc.iso"
  "0 --title 1 --subtitle-lang de --audio-lang de $media/disc.iso"
  "0 --title 1 --forced-subtitles $media/disc"
  "0 --main-title $media/subs.iso"
  "0 --main-title --subtitle-lang de $media/subs.iso"
  "0 --main-title --subtitle-lang en $media/subs.iso"
  "0 --main-title --subtitle-track 3 $media/subs.iso"
  "0 --main-title --forced-subtitles $media/subs"
)

# run N STATUS ARGS...: one bounded conversion into a folder of its own;
# prints "ok", "hang" or "fail" with what it said.
run() {
  local n=$1 want=$2
  shift 2
  local out="$work/$n"
  mkdir -p "$out"
  local said status
  said=$(timeout -s INT -k 10 "$limit" "$converter" -q --overwrite -o "$out" "$@" 2>&1)
  status=$?
  rm -rf "$out"
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "hang: $* (stopped after $limit s)"
  elif [ "$status" -ne "$want" ]; then
    echo "fail: $* ended with $status, not $want: $said"
  else
    echo ok
  fi
}

start=$(date +%s)
results="$work/results"
n=0
for ((r = 1; r <= rounds; r++)); do
  for c in "${cases[@]}"; do
    n=$((n + 1))
    # Two at a time: wait for a slot before the next.
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n; done
    # shellcheck disable=SC2086
    run "$n" $c >> "$results" &
  done
done
wait
runs=$(wc -l < "$results")
hangs=$(grep -c '^hang' "$results")
failures=$(grep -c '^fail' "$results")
grep -v '^ok$' "$results"
echo "soak: $runs runs, $hangs hangs, $failures failures in $(($(date +%s) - start)) s"
echo "$((runs - hangs - failures)) passed, $((hangs + failures)) failed"
[ "$runs" -eq "$n" ] && [ "$hangs" -eq 0 ] && [ "$failures" -eq 0 ]

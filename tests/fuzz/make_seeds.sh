#!/usr/bin/env bash
# Seeds the fuzz corpora in $2 from what the project makes anyway: INI text as
# the settings store writes it, the program's own skins, and the first
# 256 KiB of each generated test VOB in $1 (the main build's test-media).
set -euo pipefail
media="$1"
seeds="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$seeds/profile" "$seeds/skin" "$seeds/probe"

printf 'SavePath\nPathName\n/home/ada/Videos/\n[SavePath]\nPathName=/srv/rips/\n' > "$seeds/profile/plain.ini"
printf 'Dialogs\nLastFolder\n"/media/dvd"\r\n; a comment\r\n[savepath]\r\npathname = "/x/" \r\n[Dialogs]\r\n' > "$seeds/profile/crlf.ini"
printf 'a\nb\nc\n[a]\nb=1\n[A]\nB=2\nb\n=\n[a\nkey=value=more\n' > "$seeds/profile/odd.ini"

cp "$here/../../skins/dvd.skn" "$here/../../skins/splash.skn" "$seeds/skin/"

found=0
for vob in "$media"/*.vob; do
  [ -f "$vob" ] || continue
  head -c 262144 "$vob" > "$seeds/probe/$(basename "$vob")"
  found=1
done
[ "$found" = 1 ] || { echo "no test media in $media: run the main test suite first" >&2; exit 1; }

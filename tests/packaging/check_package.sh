#!/usr/bin/env bash
# Builds the Debian package from the build tree in $1 and checks it as Debian
# does: lintian finds no error, appstreamcli accepts the metainfo, the
# manual pages and changelog are compressed, and every dependency exists.
set -euo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" > "$out/cpack.log")
deb="$(ls "$out"/marbleway_*.deb)"
lintian --fail-on error "$deb" 2>&1 | grep -v "root privileges" || true
test "${PIPESTATUS[0]}" -eq 0
dpkg-deb -x "$deb" "$out/root"
appstreamcli validate --no-net "$out"/root/usr/share/metainfo/*.metainfo.xml
for f in usr/share/man/man1/marbleway.1.gz usr/share/man/man1/vobcast-convert.1.gz \
         usr/share/doc/marbleway/changelog.gz usr/share/doc/marbleway/copyright; do
  test -s "$out/root/$f" || { echo "missing $f"; exit 1; }
done
# The program folder holds the engine and the Qt plugins it and the program load by name.
for f in libvobcast.so libvobcast-fields.so libui-qt.so libvfw-qt.so libSysTrayDLL.so; do
  test -n "$(find "$out/root" -path "*/marbleway/$f")" || { echo "missing $f in the program folder"; exit 1; }
done
# Every package named in Depends can be had.
dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*//; s/ //g' | while read -r p; do
  apt-cache show "$p" > /dev/null 2>&1 || { echo "no package $p"; exit 1; }
done
echo "package checked: $(basename "$deb")"

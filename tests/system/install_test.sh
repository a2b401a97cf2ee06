#!/usr/bin/env bash
# The installed program: `cmake --install BUILD --prefix /usr` into a scratch
# DESTDIR lays out the program, its desktop entry, metainfo, icons, readme and
# demo; the desktop's validators accept the entry and the metainfo; the
# installed binary, started under Xvfb from a folder without a readme, opens
# the installed readme from "info..." and plays the installed demo for --demo.
#   install_test.sh BUILD-DIR APP-ID
set -uo pipefail
source "$(dirname "$0")/lib.sh"
build=$(readlink -f "$1")
id=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr > "$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }
share=$root/usr/share
program=$root/usr/bin/korvalo-cor
for f in "$program" "$share/applications/$id.desktop" "$share/metainfo/$id.metainfo.xml" \
  "$share/doc/korvalo-cor/readme.txt" "$share/korvalo-cor/korvalo-demo.wav" \
  "$share/icons/hicolor/scalable/apps/$id.svg"; do
  [ -f "$f" ] || fail "not installed: ${f#$root}"
done
for n in 16 22 24 32 48 64 128 256; do
  [ -f "$share/icons/hicolor/${n}x$n/apps/$id.png" ] || fail "no ${n}x$n icon"
done

echo "--- validators"
desktop-file-validate "$share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
entry() { sed -n "s/^$1=//p" "$share/applications/$id.desktop"; }
[ "$(entry Exec)" = "korvalo-cor %f" ] || fail "Exec is '$(entry Exec)'"
[ "$(entry Icon)" = "$id" ] || fail "Icon is '$(entry Icon)'"
[ "$(entry GenericName)" = "Audio Level Meter" ] || fail "GenericName is '$(entry GenericName)'"
[ "$(entry Categories)" = "AudioVideo;Audio;" ] || fail "Categories are '$(entry Categories)'"
[ "$(entry MimeType)" = "audio/x-wav;audio/wav;" ] || fail "MimeType is '$(entry MimeType)'"

# "info..." hands the readme to the desktop's opener (xdg-open); a stand-in
# records what it was given.
mkdir -p "$work/bin" "$work/elsewhere"
cat > "$work/bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >> "$work/opened.txt"
SCRIPT
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH
export XDG_CONFIG_HOME=$work/config

echo "--- readme"
(cd "$work/elsewhere" && exec "$program" --device silent) > "$work/readme.log" 2>&1 &
pid=$!
if wait_for 90 find_window '^Korvalo Cor\.$'; then
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 125)) $((Y + 80)) click 3
  sleep 1
  xdotool key Down Return
  opened() { grep -q "$share/doc/korvalo-cor/readme.txt" "$work/opened.txt" 2>/dev/null; }
  wait_for 30 opened || { fail "info... did not open the installed readme"; cat "$work/opened.txt" 2>/dev/null; }
  stop_program "$pid" 60 || fail "readme: see above"
else
  fail "readme: no main window"; kill -KILL "$pid"; cat "$work/readme.log"
fi

echo "--- demo"
# ALSA's file device records what is played: from its first sound on, the
# recording must carry the installed demo's samples (the stream starts with
# silent blocks of its own).
recording=$work/played.wav
demo=$share/korvalo-cor/korvalo-demo.wav
(cd "$work/elsewhere" && exec "$program" --device "file:FILE=$recording,FORMAT=wav" --demo) \
  > "$work/demo.log" 2>&1 &
pid=$!
data_at() { echo $(($(grep -obUa data "$1" | head -1 | cut -d: -f1) + 8)); }
# first_sound FILE: offset of the first non-zero byte of the samples.
first_sound() {
  local start pos
  start=$(data_at "$1")
  pos=$(cmp -i "$start" "$1" /dev/zero 2>/dev/null | sed -n 's/.* byte \([0-9]*\).*/\1/p')
  echo $((start + ${pos:-1} - 1))
}
length=524288
recorded() { [ -f "$recording" ] && [ "$(stat -c %s "$recording")" -gt $((length + 262144)) ]; }
if wait_for 90 recorded; then
  cmp -s -n $length -i "$(first_sound "$demo"):$(first_sound "$recording")" "$demo" "$recording" ||
    fail "--demo: what was played is not the installed demo"
  find_window '^Korvalo$' || fail "--demo: no meter window"
  stop_program "$pid" 60 || fail "demo: see above"
else
  fail "--demo: nothing played"; kill -KILL "$pid"
fi
grep -q "cannot play" "$work/demo.log" && fail "--demo: $(cat "$work/demo.log")"

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "install test passed"

#!/bin/bash
# Runs the real program under a virtual display: full-screen slide shows of a folder of
# generated photographs started from the main window's "Slide Show" menu (one runs to the end
# of the set, whose last picture is protected and stays blank without a prompt; one is stopped
# with Escape), then the protected picture opened by typing its password into the
# wrong-password prompt. Takes screenshots along the way and checks what it can from outside.
#
# Usage: bench/viewer/xvfb_slideshow_protect.sh [BUILD_DIR] [SCREENSHOT_DIR]
#   BUILD_DIR       build folder whose bin/ is the program folder (default build-viewer)
#   SCREENSHOT_DIR  where the JPEG screenshots go (default bench/viewer/screenshots)
# Needs xvfb-run, xdotool and ImageMagick. Everything the program writes goes to a temporary
# home, settings and data folder; the real home is never touched.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$repo/build-viewer}" && pwd)
shots=${2:-$here/screenshots}
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)

# Inside the virtual display the script runs its second half.
if [[ "${GLIMMORA_ROUND_STAGE:-}" != "display" ]]; then
  for tool in xvfb-run xdotool convert import compare sqlite3; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
  done
  root=$(mktemp -d /tmp/glimmora-round.XXXXXX)
  # GLIMMORA_ROUND_KEEP=1 keeps the temporary folder (full-size screenshots, log) for a look.
  trap '[[ -n "${GLIMMORA_ROUND_KEEP:-}" ]] && echo "kept $root" || rm -rf "$root"' EXIT
  export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
  export XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/run"
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"

  # A program folder of its own, as the installed program has it.
  program="$root/program"
  mkdir -p "$program"
  for f in glimmora librastrel3.so librastcore3.so all1.mdb starterpic.jpg splash.jpg \
    ImageMissing.jpg DamagedImage.jpg Eye.ico Eye.png; do
    cp "$build/bin/$f" "$program/"
  done
  for d in User help Backup images; do
    mkdir -p "$program/$d"
    [[ -d "$build/bin/$d" ]] && cp -r "$build/bin/$d/." "$program/$d/"
  done
  cli="$build/bin/rastcore3-cli"
  [[ -x "$cli" ]] || { echo "build rastcore3-cli first" >&2; exit 2; }

  # The first run writes the default settings (no window is kept open).
  QT_QPA_PLATFORM=offscreen GLIMMORA_QUIT_WHEN_SHOWN=1 "$program/glimmora"

  # Six photographs (plasma skies with a caption) and one protected picture.
  pics="$root/photos"
  mkdir -p "$pics"
  colours=(skyblue orange seagreen gold orchid tomato)
  for i in 1 2 3 4 5 6; do
    convert -seed "$i" -size 900x600 "plasma:${colours[$((i - 1))]}-white" \
      -gravity south -fill black -pointsize 60 -annotate +0+40 "Photo $i" \
      -quality 90 "$pics/photo$i.jpg"
  done
  convert -seed 7 -size 900x600 plasma:navy-yellow -gravity center -fill white \
    -pointsize 80 -annotate +0+0 "Secret 7" -quality 90 "$root/secret.jpg"
  "$cli" convert "$root/secret.jpg" "$pics/secret7.pic" --password Sunset2024x
  # The catalogue takes the folder in (the program's own windowless command), in place of the
  # starter picture of the first run.
  "$program/glimmora" --add-folder "$pics" --types jpg,pic
  sqlite3 "$program/all1.mdb" "DELETE FROM tbl1 WHERE Pathname LIKE '%starterpic.jpg'"

  # Slide shows of 6 seconds (the shortest the options allow), full screen, from the first picture, no repeat; the viewer
  # needs the set-up done (FormsRunStat 2).
  ini="$XDG_CONFIG_HOME/glimmora/Glimmora.ini"
  set_key() {
    if grep -q "^$1=" "$ini"; then sed -i "s|^$1=.*|$1=$2|" "$ini"; else
      sed -i "/^\[Settings\]/a $1=$2" "$ini"; fi
  }
  set_key SlideTime 6
  set_key dftSlideSize Full
  set_key StartPic First
  set_key AutoRepeat 0
  set_key FormsRunStat 2
  set_key PasswordPrompt 1
  set_key AlwaysOnTop 0

  GLIMMORA_ROUND_STAGE=display GLIMMORA_ROUND_PROGRAM="$program" GLIMMORA_ROUND_ROOT="$root" \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$shots"
  exit $?
fi

# ---- Inside the virtual display ----
program=$GLIMMORA_ROUND_PROGRAM
root=$GLIMMORA_ROUND_ROOT
work="$root/shots"
mkdir -p "$work"
log="$root/glimmora.log"
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi
}
# Waits (polling, up to $2 tenths of a second) for a visible window whose title matches the
# regular expression $1.
wait_window() {
  local i
  for ((i = 0; i < ${2:-300}; i++)); do
    local id
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
wait_no_window() {
  local i
  for ((i = 0; i < ${2:-300}; i++)); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
shot() { import -window root "$work/$1.png"; }
# Root-mean-square difference of two screenshots, 0 ... 1.
rmse() { compare -metric RMSE "$work/$1.png" "$work/$2.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/'; }
differs() { awk -v d="$(rmse "$1" "$2")" 'BEGIN { exit !(d > 0.02) }'; }
same() { awk -v d="$(rmse "$1" "$2")" 'BEGIN { exit !(d < 0.002) }'; }
# How much detail a stretch of the viewer's picture area holds (the standard deviation of its
# grey levels, 0 ... 1): near 0 for a blank area, well above for a photograph.
detail() {
  convert "$work/$1.png" -crop 300x150+600+180 -colorspace Gray -format '%[fx:standard_deviation]' info:
}
above() { awk -v v="$1" -v t="$2" 'BEGIN { exit !(v > t) }'; }
below() { awk -v v="$1" -v t="$2" 'BEGIN { exit !(v < t) }'; }
# Picture width and height of the largest window with title $1.
geometry() { xdotool getwindowgeometry "$1" | awk '/Geometry/ { print $2 }'; }

"$program/glimmora" >"$log" 2>&1 &
pid=$!
main=$(wait_window '^Glimmora 2000$' 600) || { echo "the main window did not show" >&2; cat "$log"; exit 1; }
echo "main window $main ($(geometry "$main"))"
sleep 1

# Viewing > Slide Show > View All Images In The Database, by keyboard on the main window.
start_show() {
  xdotool windowfocus --sync "$main"
  xdotool key --clearmodifiers alt+v
  sleep 0.5
  xdotool key s
  sleep 0.5
  xdotool key a
}
# Waits (up to $1 tenths of a second) for a viewer window that fills the screen; prints its id.
wait_full_screen_viewer() {
  local i id
  for ((i = 0; i < $1; i++)); do
    for id in $(xdotool search --onlyvisible --name '^Glimmora 2000 Viewer' 2>/dev/null); do
      [[ "$(geometry "$id")" == "1280x1024" ]] && { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

start_show
viewer=$(wait_full_screen_viewer 300) || viewer=""
check "the slide show fills the screen" [ -n "$viewer" ]
[[ -n "$viewer" ]] || { cat "$log"; exit 1; }
sleep 1.5
shot show-1
sleep 6.5
shot show-2
check "the picture changes after the slide time" differs show-1 show-2

# The show runs to the end of the set by itself. Its last picture is protected and the
# password box is empty: the picture stays blank and no prompt may hold the show up.
prompted=0
for ((i = 0; i < 700; i++)); do
  xdotool search --onlyvisible --name '^Incorrect Password For PIC Image$' >/dev/null 2>&1 &&
    prompted=1
  [[ "$(geometry "$viewer")" != "1280x1024" ]] && break
  sleep 0.1
done
check "the show stops by itself at the end of the set and leaves full screen" \
  [ "$(geometry "$viewer")" != "1280x1024" ]
check "no password prompt came up during the show" [ "$prompted" = 0 ]
sleep 1
shot end-of-show
check "the protected last picture stays blank" below "$(detail end-of-show)" 0.01

# A second show, stopped with Escape: the viewer returns to its normal layout and stays on
# its picture.
start_show
viewer=$(wait_full_screen_viewer 300) || viewer=""
check "the second show fills the screen" [ -n "$viewer" ]
[[ -n "$viewer" ]] || { cat "$log"; exit 1; }
sleep 1.5
xdotool windowfocus --sync "$viewer"
xdotool key Escape
sleep 1.5
shot stopped-1
sleep 7
shot stopped-2
check "after Escape the screen no longer changes" same stopped-1 stopped-2
check "after Escape the viewer leaves full screen" [ "$(geometry "$viewer")" != "1280x1024" ]
check "the stopped show's picture is drawn in the normal layout" above "$(detail stopped-2)" 0.03

# The protected picture is the last of the set: going there with no password asks for one.
xdotool windowfocus --sync "$viewer"
for _ in 1 2 3 4 5 6 7; do
  xdotool key space
  sleep 0.4
  xdotool search --onlyvisible --name '^Incorrect Password For PIC Image$' >/dev/null 2>&1 && break
done
prompt=$(wait_window '^Incorrect Password For PIC Image$' 100) || prompt=""
check "the wrong-password prompt appears for the protected picture" [ -n "$prompt" ]
if [[ -n "$prompt" ]]; then
  xdotool windowfocus --sync "$prompt"
  shot prompt
  check "the picture area is blank while the password is wrong" below "$(detail prompt)" 0.01
  xdotool type --delay 60 "Sunset2024x"
  sleep 0.3
  shot prompt
  xdotool key Return
  wait_no_window '^Incorrect Password For PIC Image$' 100 || true
fi
sleep 1.5
shot protected-open
check "the protected picture is drawn once the password is given" \
  above "$(detail protected-open)" 0.03

kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true

# Small JPEG copies for the repository.
for name in show-1 end-of-show prompt protected-open; do
  [[ -f "$work/$name.png" ]] || continue
  convert "$work/$name.png" -resize 800x800 -quality 70 "$shots/slideshow-protect-$name.jpg"
done
ls -l "$shots"/slideshow-protect-*.jpg
echo "failures: $failures"
exit $((failures > 0))

#!/usr/bin/env bash
# Remakes the README's pictures from the real program: build/tivrel opens
# examples/gwas_example.txt under a virtual X server (Xvfb, 1280x800, no
# window manager), the genome-wide view is taken as docs/genome-wide.png,
# then a box dragged over one chromosome opens its view, taken as
# docs/chromosome.png. Needs xvfb, xdotool and imagemagick.
#
#   scripts/screenshots.sh [TIVREL]   (default build/tivrel)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$repo/build/tivrel}")
example=$repo/examples/gwas_example.txt
chromosome=10
work=$(mktemp -d)
xvfb_pid="" tivrel_pid=""
cleanup() {
  [ -z "$tivrel_pid" ] || kill "$tivrel_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free display: Xvfb picks one and writes its number.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb

# The log lands in the working directory: keep it out of the repository.
(cd "$work" && exec "$program" "$example") &
tivrel_pid=$!
window=""
for _ in $(seq 300); do # the window appears once the file is loaded
  window=$(xdotool search --onlyvisible --name '^TIVREL 0\.1' 2>/dev/null | head -n 1) && break
  kill -0 "$tivrel_pid" 2>/dev/null || { echo "screenshots.sh: $program ended before its window showed" >&2; exit 1; }
  sleep 0.1
done
[ -n "${window:-}" ] || { echo "screenshots.sh: no window after 30 s" >&2; exit 1; }
xdotool windowfocus --sync "$window"
sleep 1 # first paint

shot() { /usr/bin/convert "x:$window" -strip -define png:compression-level=9 "$1"; }
shot "$repo/docs/genome-wide.png"

# The box goes over the chromosome with the strongest hit (10), at its
# column in this fixed layout; the log read at the end proves the pick.
width=$(xdotool getwindowgeometry "$window" | awk '/Geometry:/{split($2, g, "x"); print g[1]}')
column=$((width * 566 / 1000))
xdotool mousemove --window "$window" $((column - 4)) 100 mousedown 1 \
  mousemove --window "$window" $((column + 4)) 400 mouseup 1
sleep 1 # the chromosome's load and paint
shot "$repo/docs/chromosome.png"

xdotool key --window "$window" alt+e
wait "$tivrel_pid"
tivrel_pid=""
if ! grep -qx "selected chromosome by getManhattan $chromosome" "$work/Tivrel_log.txt"; then
  echo "screenshots.sh: the box did not pick chromosome $chromosome; the log reads:" >&2
  cat "$work/Tivrel_log.txt" >&2
  exit 1
fi
ls -l "$repo/docs/genome-wide.png" "$repo/docs/chromosome.png"

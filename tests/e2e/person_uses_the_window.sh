#!/usr/bin/env bash
# The program used as a person would: a real X server, the converter simulator on a
# pseudo-terminal, real mouse clicks on the window, the recording checked byte for byte,
# the captions read back, and pixels of a screenshot checked.
# usage: person_uses_the_window.sh BUILD_DIR [SCREENSHOT_OUT]
set -euo pipefail

build=$(cd "$1" && pwd)
shot_out=${2:-}
program="$build/src/app/ninetrace"
cli="$build/tools/ninetrace-cli"
work=$(mktemp -d)
pids=()

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  [ -n "${KEEP_E2E:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -n "${DISPLAY:-}" ]; then import -window root "$work/failure.png" 2>/dev/null && cp "$work/failure.png" "$build/e2e-failure.png" || true; fi
  exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

# --- an X server on a free display --------------------------------------------------------
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
pids+=($xvfb)
exec 3>&-
wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"

# --- the converter on a pseudo-terminal, logging every byte it sends -----------------------
"$cli" simulate --rate 5 --log "$work/sent.log" > "$work/port" &
simulator=$!
pids+=($simulator)
wait_for 100 test -s "$work/port" || fail "the simulator did not start"
port=$(head -n 1 "$work/port")

# --- the program, recording into the work folder -------------------------------------------
# Starts the program on port $1; sets $ninetrace (its pid) and $wid (its window).
start_program() {
  (cd "$work" && exec "$program" "$1") >> "$work/ninetrace.log" 2>&1 &
  ninetrace=$!
  pids+=($ninetrace)
  wid=""
  for _ in $(seq 300); do
    wid=$(xdotool search --onlyvisible --name '^y$' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no visible window titled y"
}
start_program "$port"

geometry=$(xdotool getwindowgeometry "$wid")
grep -q 'Position: -3,-1' <<<"$geometry" || fail "window not at (-3, -1): $geometry"
grep -q 'Geometry: 1125x750' <<<"$geometry" || fail "window not 1125 x 750: $geometry"

caption() { xdotool getwindowname "$wid"; }
# Clicks at a point of the window's client area, as a person would.
click() {
  xdotool mousemove --window "$wid" "$1" "$2" click 1
  sleep 0.3
}
expect_caption() {
  local want=$1 got
  for _ in $(seq 30); do
    got=$(caption)
    [ "$got" = "$want" ] && return 0
    sleep 0.1
  done
  fail "caption after $2 is '$got', expected '$want'"
}
# The screen as a PNG, and the distinct colours of a client-area rectangle of it.
screenshot() { import -window root "$1"; }
colours_in() {  # file x y w h (client coordinates; the window sits at -3, -1)
  convert "$1" -crop "$4x$5+$(($2 - 3))+$(($3 - 1))" +repage -unique-colors txt:- | grep -o '#[0-9A-F]\{6\}' | sort -u
}
pixel() {  # file x y (client)
  convert "$1" -format '%[hex:p{'"$(($2 - 3))"','"$(($3 - 1))"'}]' info: | cut -c1-6
}

# --- record a few seconds ------------------------------------------------------------------
click 1053 153  # Run
sleep 4
screenshot "$work/live.png"
[ -n "$shot_out" ] && cp "$work/live.png" "$shot_out"

# --- look back while recording: F starts a second window following the recording ------------
recording=$(ls "$work"/*.bin)
name=$(basename "$recording")
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key f
follower=""
for _ in $(seq 100); do
  follower=$(xdotool search --onlyvisible --name "  \(following $name\)\$" 2>/dev/null | head -n 1 || true)
  [ -n "$follower" ] && break
  sleep 0.1
done
[ -n "$follower" ] || fail "F while recording started no window following $name"
follower_pid=$(xdotool getwindowpid "$follower")
pids+=($follower_pid)
follower_page() { xdotool getwindowname "$follower" | sed 's/  (following .*//'; }
follower_beyond() { [ "$(follower_page)" -gt "$1" ]; }
follower_on() { [ "$(follower_page)" = "$1" ]; }
size_above_zero() { [ "$(stat -c %s "$recording")" -gt 0 ]; }
# It shows the newest page written and takes in the next ones as they come, each within a second.
first_page=$(follower_page)
[ "$first_page" -ge 1 ] 2>/dev/null || fail "the following window's caption is '$(xdotool getwindowname "$follower")'"
wait_for 40 follower_beyond "$first_page" || fail "the following window stayed on page $first_page while the recording grew"
xdotool windowraise "$wid"
sleep 0.3
click 1053 153  # Stop
wait_for 30 size_above_zero || fail "no recording file"
sleep 1  # Stop has written the last page
pages_now=$(( $(stat -c %s "$recording") / 7000 ))
wait_for 15 follower_on "$pages_now" || fail "after Stop the following window shows page $(follower_page), not the last one, $pages_now"
kill -TERM "$follower_pid"
wait_for 50 bash -c "! kill -0 $follower_pid" || fail "the following window did not end on SIGTERM"
[ "$(ls "$work"/*.bin | wc -l)" -eq 1 ] || fail "a file was written beside the recording: $(ls "$work")"
size=$(stat -c %s "$recording")
[ "$size" -gt 0 ] && [ $((size % 7000)) -eq 0 ] || fail "recording of $size bytes is not whole pages"
pages=$((size / 7000))
[ "$pages" -ge 3 ] || fail "only $pages pages recorded"

# The records in the file are the frames the simulator sent, in order, then the zero tail.
od -An -v -tx1 -w9 "$work/sent.log" | sed 's/^ ff ff//' > "$work/sent.txt"
od -An -v -tx1 -w7 "$recording" > "$work/file.txt"
zero=" 00 00 00 00 00 00 00"
records=$(grep -c -v -x -- "$zero" "$work/file.txt" || true)
[ "$(sed -n "$((records + 1)),\$p" "$work/file.txt" | grep -c -v -x -- "$zero")" -eq 0 ] || fail "data after the zero tail"
# The recorder joins the line at an arbitrary byte, so its first record or two may come from a
# false sync inside a record; from the first whole frame on, everything must match.
matched=0
for skip in 0 1 2 3; do
  sed -n "$((skip + 1)),${records}p" "$work/file.txt" > "$work/recorded.txt"
  first=$(head -n 1 "$work/recorded.txt")
  while read -r line; do
    n=${line%%:*}
    if sed -n "${n},$((n + records - skip - 1))p" "$work/sent.txt" | cmp -s - "$work/recorded.txt"; then matched=1; break 2; fi
  done < <(grep -n -x -F -- "$first" "$work/sent.txt")
done
[ "$matched" -eq 1 ] || fail "the $records records in the file are not a run of the frames sent"

# --- page through the recording ------------------------------------------------------------
click 1053 233  # View
expect_caption "$pages" "View"
click 1038 136  # <
expect_caption "$(( (size - 10500) / 7000 + 1 ))" "<"
click 1038 193  # <<
expect_caption "$(( (size - 17500) / 7000 + 1 ))" "<<"
click 1038 249  # |<<
expect_caption "1" "|<<"
click 1087 136  # >
expect_caption "1" ">"
click 1061 68   # All
expect_caption "1-$pages  Click!" "All"
click 500 300   # the chart, in the middle
offset=$(( size * 500 / 1000 - 3500 ))
[ $((offset + 7000)) -gt "$size" ] && offset=$((size - 7000))
[ "$offset" -lt 0 ] && offset=0
expect_caption "$(( offset / 7000 + 1 ))" "a click on the chart"

# --- read the chart: the pointer readout, the keys, labelled axes ----------------------------
# Resting on the chart brings the readout beside the pointer (its own dark window); leaving the
# chart takes it away again.
xdotool mousemove --window "$wid" 400 300
sleep 0.1
xdotool mousemove --window "$wid" 401 301
sleep 1
screenshot "$work/readout.png"
cp "$work/readout.png" "$build/e2e-readout.png"
colours_in "$work/readout.png" 425 325 60 40 | grep -q 202020 || fail "no readout beside the pointer"
xdotool mousemove --window "$wid" 1060 600
sleep 0.5
screenshot "$work/no-readout.png"
colours_in "$work/no-readout.png" 425 325 60 40 | grep -q 202020 && fail "the readout stayed after the pointer left the chart"
# Keys act as their buttons: Home and End are the first and the last page, Left is "<".
xdotool key --window "$wid" Home
expect_caption "1" "Home"
xdotool key --window "$wid" End
expect_caption "$pages" "End"
xdotool key --window "$wid" Left
expect_caption "$(( (size - 10500) / 7000 + 1 ))" "Left"
# L labels the axes (light grey text under the chart) and takes the labels away again.
label_pixels() { colours_in "$1" 10 700 980 12 | grep -c C0C0C0 || true; }
xdotool key --window "$wid" l
sleep 0.5
screenshot "$work/labelled.png"
[ "$(label_pixels "$work/labelled.png")" -gt 0 ] || fail "no axis labels after L"
xdotool key --window "$wid" l
sleep 0.5
screenshot "$work/unlabelled.png"
[ "$(label_pixels "$work/unlabelled.png")" -eq 0 ] || fail "axis labels left after a second L"
click 1061 316  # Close

# --- the Open dialog, confirmed with Return: the very next click reaches the window ------------
click 1053 313  # Open
dialog=""
for _ in $(seq 50); do
  dialog=$(xdotool search --onlyvisible --name '^Open$' 2>/dev/null | head -n 1 || true)
  [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || fail "Open showed no dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool type --delay 30 "$(basename "$recording")"
xdotool key Return
expect_caption "1" "typing the recording's name and Return in the Open dialog"
click 1087 193  # >>
expect_caption "2" "the first click after the Open dialog"
click 1061 316  # Close

# --- what the screen shows -----------------------------------------------------------------
sleep 0.5
screenshot "$work/page.png"
[ "$(pixel "$work/page.png" 300 709)" = "000000" ] || fail "chart background is not black"
[ "$(pixel "$work/page.png" 2 300)" = "000000" ] || fail "no left axis line at x = 2"
colours_in "$work/page.png" 10 10 980 680 > "$work/colours"
grep -q FF0000 "$work/colours" || fail "no trace 1 (red) in the plot area"
grep -q EB9696 "$work/colours" && fail "trace d1 shown although D1, D2 is unchecked"
click 1024 480  # D1, D2
sleep 0.5
screenshot "$work/d1.png"
colours_in "$work/d1.png" 10 10 980 680 > "$work/colours"
grep -q EB9696 "$work/colours" || fail "trace d1 not shown after D1, D2 was checked"

thin=$(convert "$work/d1.png" -crop 980x680+7+9 +repage -fill black +opaque '#FF0000' -fill white -opaque '#FF0000' -format '%[fx:mean*w*h]' info:)
click 1053 660  # line width
sleep 0.5
screenshot "$work/thick.png"
thick=$(convert "$work/thick.png" -crop 980x680+7+9 +repage -fill black +opaque '#FF0000' -fill white -opaque '#FF0000' -format '%[fx:mean*w*h]' info:)
awk -v a="$thin" -v b="$thick" 'BEGIN { exit !(b > 1.5 * a) }' || fail "the line-width toggle did not thicken trace 1 ($thin -> $thick pixels)"

# Checks that the newest recording is whole pages holding at least $1 records; sets $newest.
check_newest_recording() {
  newest=$(ls -t "$work"/*.bin | head -n 1)
  local bytes
  bytes=$(stat -c %s "$newest")
  [ "$bytes" -gt 0 ] && [ $((bytes % 7000)) -eq 0 ] || fail "$2: $newest is $bytes bytes, not whole pages"
  kept=$(od -An -v -tx1 -w7 "$newest" | grep -c -v -x -- "$zero" || true)
  [ "$kept" -ge "$1" ] || fail "$2: only $kept records kept in $newest"
}
# Waits up to $2 tenths of a second for process $1 to end; sets $status to its exit status.
wait_for_exit() {
  for _ in $(seq "$2"); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$1" 2>/dev/null && return 1
  status=0
  wait "$1" || status=$?
}

# --- the converter vanishes mid-recording (the simulator ends, hanging up its line) ----------
recordings_before=$(ls "$work"/*.bin | wc -l)
click 1053 153  # Run
sleep 2
kill -TERM "$simulator"
wait_for 20 xdotool search --onlyvisible --name '^ninetrace$' || fail "no box within two seconds of the device vanishing"
[ "$(ls "$work"/*.bin | wc -l)" -eq $((recordings_before + 1)) ] || fail "no new recording"
check_newest_recording 300 "after the device vanished"

# --- logout or shutdown: SIGTERM ends the program as closing the window does, box or not -----
kill -TERM "$ninetrace"
wait_for_exit "$ninetrace" 50 || fail "the program did not end on SIGTERM while its box was open"
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"

# --- a closed terminal while recording: SIGHUP stops the recording as Stop does ---------------
"$cli" simulate --rate 5 > "$work/port2" &
pids+=($!)
wait_for 100 test -s "$work/port2" || fail "the second simulator did not start"
start_program "$(head -n 1 "$work/port2")"
click 1053 153  # Run
sleep 2
kill -HUP "$ninetrace"
wait_for_exit "$ninetrace" 50 || fail "the program did not end on SIGHUP while recording"
[ "$status" -eq 0 ] || fail "exit status $status after SIGHUP"
check_newest_recording 300 "after SIGHUP"
[ "$(ls "$work"/*.bin | wc -l)" -eq $((recordings_before + 2)) ] || fail "no recording made before SIGHUP"

# Checks that the newest recording holds the page that was in progress: records past the last
# whole page, padded with zeros ($1 names the case).
check_page_in_progress_kept() {
  check_newest_recording 1 "$1"
  [ $((kept % 1000)) -ne 0 ] || fail "$1: $kept records in $newest, a multiple of a page: the page in progress is lost"
}

# At the real line rate (213 frames a second) a second of recording is a page in progress only.
"$cli" simulate > "$work/port3" &
pids+=($!)
wait_for 100 test -s "$work/port3" || fail "the third simulator did not start"

# --- a stray signal that would end the program (SIGQUIT): stopped as Stop, then closed ---------
start_program "$(head -n 1 "$work/port3")"
click 1053 153  # Run
sleep 1
kill -QUIT "$ninetrace"
wait_for_exit "$ninetrace" 50 || fail "the program did not end on SIGQUIT while recording"
[ "$status" -eq 0 ] || fail "exit status $status after SIGQUIT"
check_page_in_progress_kept "after SIGQUIT"

# --- the display goes away while recording: the X server dies, the toolkit ends the process ----
start_program "$(head -n 1 "$work/port3")"
click 1053 153  # Run
sleep 1
kill -KILL "$xvfb"
wait_for_exit "$ninetrace" 100 || fail "the program did not end when its display went away"
check_page_in_progress_kept "after the display went away"
grep -q "the display went away while recording" "$work/ninetrace.log" || fail "nothing said about the display going away"

echo "end to end: $pages pages recorded, $records records checked, captions and pixels as expected"

#!/usr/bin/env bash
# Installs the build into a staging directory as a package would, then uses what was installed:
# the programs answer --version and --help without a display, the menu entry and the manual
# pages pass their validators with no warning, the icon renders, and nothing else is installed.
# usage: staged_install.sh BUILD_DIR VERSION
set -euo pipefail

build=$(cd "$1" && pwd)
version=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DESTDIR="$stage" cmake --install "$build" --prefix /usr > "$stage.log" 2>&1 || { cat "$stage.log" >&2; fail "cmake --install"; }
rm -f "$stage.log"

# --- exactly these files, executables executable -------------------------------------------
expected="usr/bin/ninetrace
usr/bin/ninetrace-cli
usr/share/applications/ninetrace.desktop
usr/share/doc/ninetrace/changelog.gz
usr/share/doc/ninetrace/copyright
usr/share/icons/hicolor/scalable/apps/ninetrace.svg
usr/share/man/man1/ninetrace-cli.1.gz
usr/share/man/man1/ninetrace.1.gz"
actual=$(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$actual") || true)"
for program in ninetrace ninetrace-cli; do
  [ -x "$stage/usr/bin/$program" ] || fail "$program is not executable"
done

# --- the programs answer without a window ------------------------------------------------------
# No display at all: a program that tried to open a window would fail here.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
out=$("${no_display[@]}" "$stage/usr/bin/ninetrace-cli" --version) || fail "ninetrace-cli --version exited $?"
[ "$out" = "ninetrace-cli $version" ] || fail "ninetrace-cli --version printed '$out'"
out=$("${no_display[@]}" "$stage/usr/bin/ninetrace" --version 2>&1) || fail "ninetrace --version exited $?: $out"
[ "$out" = "ninetrace $version" ] || fail "ninetrace --version printed '$out'"
out=$("${no_display[@]}" "$stage/usr/bin/ninetrace" --help 2>&1) || fail "ninetrace --help exited $?: $out"
grep -q '^usage: ninetrace \[--channel CH=NAME.*\]\.\.\. \[PORT \[MASK \[WIDTH\]\]\]' <<<"$out" || fail "ninetrace --help printed '$out'"
status=0
out=$("${no_display[@]}" "$stage/usr/bin/ninetrace" --channel A1=Pressure,kPa,zero 2>&1) || status=$?
[ "$status" -eq 2 ] && grep -q 'FACTOR is a number' <<<"$out" || fail "ninetrace --channel with a bad factor: status $status, '$out'"
status=0
out=$("${no_display[@]}" "$stage/usr/bin/ninetrace" --follow 2>&1) || status=$?
[ "$status" = 2 ] && grep -q -- '--follow needs the recording' <<<"$out" || fail "ninetrace --follow without a file: status $status, '$out'"
# Any other first argument is still a port: without a display that means trying to open a window,
# which ends in one line saying so and status 1, not in the toolkit's abort; so does a display
# that cannot be reached.
for display in "" :97; do
  status=0
  said=$("${no_display[@]}" ${display:+DISPLAY=$display} QT_QPA_PLATFORM=xcb "$stage/usr/bin/ninetrace" --helpme 2>&1 > /dev/null) ||
    status=$?
  [ "$status" = 1 ] || fail "ninetrace --helpme without display '$display' exited $status: $said"
  [ "$(wc -l <<<"$said")" = 1 ] || fail "ninetrace without display '$display' said more than one line: $said"
  grep -q '^ninetrace: cannot open the window: ' <<<"$said" || fail "ninetrace without display '$display' said: $said"
done

# --- menu entry and icon ---------------------------------------------------------------------
desktop="$stage/usr/share/applications/ninetrace.desktop"
problems=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $problems"
[ -z "$problems" ] || fail "desktop-file-validate: $problems"
grep -qx 'Exec=ninetrace %f' "$desktop" || fail "the menu entry does not start ninetrace, with the file chosen when there is one"
grep -qx 'Icon=ninetrace' "$desktop" || fail "the menu entry does not name the icon"
grep -qx 'Categories=Science;Electronics;' "$desktop" || fail "the menu entry is not under Science / Electronics"
rsvg-convert -w 48 -h 48 "$stage/usr/share/icons/hicolor/scalable/apps/ninetrace.svg" -o "$stage/icon.png" ||
  fail "the icon does not render"
[ "$(identify -format '%wx%h' "$stage/icon.png")" = "48x48" ] || fail "the icon did not render at 48 x 48"
# A blank or fully transparent picture would render too; the icon must draw something.
colours=$(convert "$stage/icon.png" -alpha off -format '%k' info:)
[ "$colours" -gt 8 ] || fail "the icon renders with only $colours colours"

# --- the package's documents: no licence is claimed that was never given -----------------------
copyright="$stage/usr/share/doc/ninetrace/copyright"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' "$copyright" ||
  fail "copyright is not in the machine-readable format"
grep -q '^License: none$' "$copyright" || fail "copyright names a licence: $(grep '^License' "$copyright")"
changelog=$(gzip -dc "$stage/usr/share/doc/ninetrace/changelog.gz")
[ "$(dpkg-parsechangelog -l - -S Version <<<"$changelog")" = "$version" ] || fail "changelog is not for $version"
maintainer=$(dpkg-parsechangelog -l - -S Maintainer <<<"$changelog")
grep -qE '^[^<>@]+ <[^<>@ ]+@[^<>@ ]+>$' <<<"$maintainer" && ! grep -q '@localhost>' <<<"$maintainer" ||
  fail "changelog maintainer '$maintainer'"

# --- manual pages: no warning from man, groff or lexgrog ----------------------------------------
for page in ninetrace ninetrace-cli; do
  file="$stage/usr/share/man/man1/$page.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 > "$stage/$page.txt") ||
    fail "man $page exited $?: $warnings"
  [ -z "$warnings" ] || fail "man --warnings $page: $warnings"
  whatis=$(lexgrog "$file") || fail "lexgrog cannot read the NAME of $page: $whatis"
  grep -q "\"$page - " <<<"$whatis" || fail "lexgrog: $whatis"
  grep -q "ninetrace $version" "$stage/$page.txt" || fail "$page(1) does not carry version $version"
done
# Every command and option the programs know is in their manual page.
cli="$stage/usr/bin/ninetrace-cli"
for command in record info export simulate ports; do
  # The command's own subsection: from its heading to the next heading.
  section=$(awk -v c="   $command" '$0 == c {on = 1; next} /^ ? ? ?[^ ]/ {on = 0} on' "$stage/ninetrace-cli.txt")
  [ -n "$section" ] || fail "ninetrace-cli(1) has no section for $command"
  for option in $("$cli" "$command" --help | grep -o -- '^  --*[a-z-]*' | grep -v -- --help); do
    grep -qE -- "^       $option( |\$)" <<<"$section" || fail "ninetrace-cli(1) does not describe $command $option"
  done
done
# Every signal that stops a recording is named where record is described.
record=$(awk '$0 == "   record" {on = 1; next} /^ ? ? ?[^ ]/ {on = 0} on' "$stage/ninetrace-cli.txt" | tr -s ' \n' ' ')
for signal in SIGINT SIGTERM SIGHUP; do
  grep -q "$signal" <<<"$record" || fail "ninetrace-cli(1) record does not name $signal"
done
for heading in SYNOPSIS DESCRIPTION 'EXIT STATUS' FILES DIAGNOSTICS; do
  for page in ninetrace ninetrace-cli; do
    grep -q "^$heading" "$stage/$page.txt" || fail "$page(1) has no $heading section"
  done
done

echo "staged install: 8 files, programs, menu entry, icon and manual pages checked"

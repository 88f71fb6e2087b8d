#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it as apt would see it: its name,
# its file list, dependencies worked out from the programs' libraries plus the fonts, and that
# the programs it unpacks run.
# usage: debian_package.sh BUILD_DIR VERSION
set -euo pipefail

build=$(cd "$1" && pwd)
version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB -B "$out" > "$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; fail "cpack"; }
deb="$out/ninetrace_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $deb: $(ls "$out")"

[ "$(dpkg-deb -f "$deb" Package)" = ninetrace ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture"
maintainer=$(dpkg-deb -f "$deb" Maintainer)
grep -qE '^[^<>@]+ <[^<>@ ]+@[^<>@ ]+>$' <<<"$maintainer" && ! grep -q '@localhost>' <<<"$maintainer" ||
  fail "maintainer '$maintainer' is not a name and an address"
depends=$(dpkg-deb -f "$deb" Depends)
# From dpkg-shlibdeps, with versions; the fonts are added by hand as nothing links them.
for needed in 'libc6 (>=' 'libqt6widgets6 (>=' 'libqt6gui6 (>=' 'libqt6core6 (>=' 'libstdc++6 (>=' fonts-liberation; do
  grep -qF "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
grep -qF 'libgtest' <<<"$depends" && fail "Depends names a test library: $depends"

listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | LC_ALL=C sort)
expected="./usr/bin/ninetrace
./usr/bin/ninetrace-cli
./usr/share/applications/ninetrace.desktop
./usr/share/doc/ninetrace/changelog.gz
./usr/share/doc/ninetrace/copyright
./usr/share/icons/hicolor/scalable/apps/ninetrace.svg
./usr/share/man/man1/ninetrace-cli.1.gz
./usr/share/man/man1/ninetrace.1.gz"
[ "$files" = "$expected" ] || fail "package files differ:
$(diff <(echo "$expected") <(echo "$files") || true)"
for program in ninetrace ninetrace-cli; do
  grep -q "^-rwxr-xr-x root/root .* ./usr/bin/$program\$" <<<"$listing" || fail "$program is not root-owned 0755"
done

# The unpacked programs run, stripped as they are.
dpkg-deb -x "$deb" "$out/root"
[ "$("$out/root/usr/bin/ninetrace-cli" --version)" = "ninetrace-cli $version" ] || fail "unpacked ninetrace-cli"
[ "$(env -u DISPLAY "$out/root/usr/bin/ninetrace" --version)" = "ninetrace $version" ] || fail "unpacked ninetrace"
kind=$(file "$out/root/usr/bin/ninetrace")
grep -q ', stripped' <<<"$kind" || fail "ninetrace is not stripped: $kind"

echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes, Depends: $depends"

#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a person would:
# the card from another folder with the build's artwork renamed away, the
# manual pages against --help, the desktop entry, the icons.
# Usage: install-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
resources="$build/resources"
away="$build/resources.away-$$"
restore() {
  if [ -d "$away" ]; then mv "$away" "$resources"; fi
  rm -rf "$work"
}
trap restore EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
unset VQ_RESOURCE_DIR

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

# The card the build's own program draws, to hold the installed one against.
export ASAN_OPTIONS=detect_leaks=0
mkdir "$work/elsewhere"
cd "$work/elsewhere"
text="Installed, not built"
"$build/src/main/velvet-quill" card "$text" --texture 12 --text-color 1 -o expected.jpg

mv "$resources" "$away"
"$prefix/bin/velvet-quill" card "$text" --texture 12 --text-color 1 -o card.jpg 2>errors.txt ||
  fail "the installed card exited $?: $(cat errors.txt)"
[ ! -s errors.txt ] || fail "the installed card said: $(cat errors.txt)"
cmp -s expected.jpg card.jpg || fail "the installed card differs from the build's: its artwork was not found"
mv "$away" "$resources"
"$prefix/bin/promo-server" --version | grep -qx "promo-server [0-9.]*" || fail "promo-server --version"
[ -f "$prefix/share/velvet-quill/examples/promotion/demo.plist" ] || fail "the demo lists are not installed"

# Every option --help names is in the rendered manual page.
for program in velvet-quill promo-server; do
  page="$prefix/share/man/man1/$program.1.gz"
  [ -f "$page" ] || fail "no manual page $page"
  rendered=$(LC_ALL=C MANWIDTH=200 man -l "$page" 2>&1) || fail "man -l $page: $rendered"
  grep -q "^NAME" <<<"$rendered" || fail "$program.1 has no NAME section"
  options=$("$prefix/bin/$program" --help | grep -oE '^  (-[a-z],)?--[a-z][a-z-]*' | sed 's/^ *//; s/^-[a-z],//')
  [ "$(wc -l <<<"$options")" -ge 5 ] || fail "$program --help lists too few options: $options"
  for option in $options; do
    grep -qe "$option" <<<"$rendered" || fail "$program.1 does not name $option"
  done
done

desktop-file-validate "$prefix/share/applications/velvet-quill.desktop" || fail "desktop-file-validate"
for side in 48 128 256; do
  icon="$prefix/share/icons/hicolor/${side}x${side}/apps/velvet-quill.png"
  [ -f "$icon" ] || fail "no icon $icon"
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  size=$(od -An -tu1 -j16 -N8 "$icon" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$size" = "$side $side" ] || fail "$icon is $size, not $side x $side"
done

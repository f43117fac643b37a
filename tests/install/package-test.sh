#!/usr/bin/env bash
# Builds the .deb from the build and holds it to Debian's rules: everything
# under /usr, the libraries found by dpkg-shlibdeps, no lintian error.
# Usage: package-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/velvet-quill_*.deb)
[ -f "${debs[0]}" ] || fail "no velvet-quill_*.deb in $(ls "$work")"
deb=${debs[0]}

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
outside=$(grep -v '^\./usr/' <<<"$files" | grep -vx '\./' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
for f in ./usr/bin/velvet-quill ./usr/bin/promo-server ./usr/share/applications/velvet-quill.desktop \
         ./usr/share/man/man1/velvet-quill.1.gz ./usr/share/man/man1/promo-server.1.gz \
         ./usr/share/velvet-quill/examples/promotion/demo.plist ./usr/share/doc/velvet-quill/copyright; do
  grep -qx -- "$f" <<<"$files" || fail "the package lacks $f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libpango-1.0-0 libsqlite3-0 libcurl4 libsdl2-2.0-0; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

lintian --allow-root --fail-on error "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"

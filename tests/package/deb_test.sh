#!/usr/bin/env bash
# The .deb made from a built tree (cpack, no second build), unpacked into a scratch root with
# dpkg -x: exactly the two programs, the desktop entry, the MIME globs and the icons; Qt in
# Depends; a desktop entry that validates and runs the packaged program; a working orbelan.
# Usage: deb_test.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"

for tool in dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool lipseste (pachetul dpkg-dev; tools/setup.sh il instaleaza)"
        exit 77
    fi
done

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
shopt -s nullglob
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one .deb, got: ${debs[*]}"
deb="${debs[0]}"
case "$(basename "$deb")" in
    "dbf-orbelan_${version}_"*.deb) ;;
    *) fail "unexpected package file name $(basename "$deb")" ;;
esac

[ "$(dpkg-deb --field "$deb" Package)" = dbf-orbelan ] || fail "Package field"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "Version field"
depends="$(dpkg-deb --field "$deb" Depends)"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libstdc++6 qt6-qpa-plugins; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
expected="usr/bin/dbf-orbelan
usr/bin/orbelan
usr/libexec/dbf-orbelan/orbelan-xls-reader
usr/share/applications/dbffile-orbelan.desktop
usr/share/icons/hicolor/256x256/apps/dbffile-orbelan.png
usr/share/icons/hicolor/scalable/apps/dbffile-orbelan.svg
usr/share/mime/packages/dbffile-orbelan.xml"
actual="$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)"
[ "$actual" = "$expected" ] || fail "package contents:"$'\n'"$actual"
for exe in usr/bin/dbf-orbelan usr/bin/orbelan usr/libexec/dbf-orbelan/orbelan-xls-reader; do
    [ -x "$root/$exe" ] || fail "$exe is not executable"
    ! ldd "$root/$exe" | grep -q "not found" || fail "$exe: $(ldd "$root/$exe" | grep 'not found')"
done

out="$("$root/usr/bin/orbelan" --version)"
[ "$out" = "orbelan $version" ] || fail "orbelan --version printed: $out"
# .xls is read by the packaged helper beside it.
out="$("$root/usr/bin/orbelan" import "$(dirname "$0")/../data/persoane.xls" -o "$work/x.dbf" --dry-run)" ||
    fail "import of an .xls: $out"
grep -qx 'Linii: 2' <<<"$out" || fail "import of an .xls printed: $out"

entry="$root/usr/share/applications/dbffile-orbelan.desktop"
grep -qx 'Name=DBF Orbelan' "$entry" || fail "desktop entry name"
grep -qx 'Exec=dbf-orbelan %f' "$entry" || fail "desktop entry Exec"
grep -qx 'Icon=dbffile-orbelan' "$entry" || fail "desktop entry Icon"
grep -q '^MimeType=.*application/x-dbf;' "$entry" || fail "desktop entry MimeType"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate"
fi

# The MIME package must parse and give both spellings of the extension to application/x-dbf.
if command -v update-mime-database >/dev/null; then
    cp -r "$root/usr/share/mime" "$work/mime"
    update-mime-database "$work/mime" >"$work/mime.log" 2>&1 ||
        { cat "$work/mime.log"; fail "update-mime-database"; }
    for glob in '\*.dbf' '\*.DBF'; do
        grep -q "application/x-dbf:$glob" "$work/mime/globs2" ||
            fail "globs2 lacks $glob: $(cat "$work/mime/globs2")"
    done
fi
echo "ok: $(basename "$deb")"

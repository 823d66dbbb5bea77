#!/usr/bin/env bash
# Stages `cmake --install` into a temporary folder and checks the layout: the programs
# and their files in one folder, the system integration files where the system looks,
# a working autostart entry, and nothing in any user's profile folder.
set -uo pipefail
build=$1
prefix=$2
links=${3:-}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
check() { # description, test...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

if ! DESTDIR="$stage" cmake --install "$build" --component inkora >"$stage.log" 2>&1; then
    cat "$stage.log"; rm -f "$stage.log"
    echo "FAILED: cmake --install"; exit 1
fi
rm -f "$stage.log"
root="$stage$prefix"
check "main program" test -x "$root/Inkora"
check "support tool" test -x "$root/inkora-hidtool"
for optional in InkoraUIService FwFlasher libInkBLE.so; do
    if [ -e "$build/bin/$optional" ]; then check "$optional" test -e "$root/$optional"; fi
done
check "resource.rcc" test -s "$root/resource.rcc"
check "default profile" test -s "$root/config/config.xml"
check "language file" test -s "$root/config/language.ini"
check "udev rules" test -s "$stage/lib/udev/rules.d/70-inkora.rules"
check "desktop entry" grep -qx "Exec=$prefix/Inkora" "$stage/usr/share/applications/inkora.desktop"
check "autostart starts in the tray" grep -qx "Exec=$prefix/Inkora /mini" "$stage/etc/xdg/autostart/inkora.desktop"
check "icon" test -s "$stage/usr/share/icons/hicolor/64x64/apps/inkora.png"
check "metainfo" test -s "$stage/usr/share/metainfo/org.inkora.Inkora.metainfo.xml"
check "man pages" test -s "$stage/usr/share/man/man1/Inkora.1.gz" -a -s "$stage/usr/share/man/man1/inkora-hidtool.1.gz"
check "completion" test -s "$stage/usr/share/bash-completion/completions/inkora-hidtool"
if [ -n "$links" ]; then
    for program in Inkora inkora-hidtool; do
        check "$program on the PATH" test "$(readlink -f "$stage$links/$program")" = "$(readlink -f "$root/$program")"
    done
    check "links are relative" test -z "$(find "$stage$links" -lname '/*' -print -quit)"
fi
check "no user folder" test -z "$(find "$stage" -path '*Inkora V3*' -print -quit)"
# The installed program starts from its folder: the support tool answers there.
check "installed tool runs" "$root/inkora-hidtool" --help >/dev/null 2>&1
if [ $failures -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi

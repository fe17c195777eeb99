#!/usr/bin/env bash
# Packages a Linux build and a mingw build and checks the artefacts as a user would, without
# installing anything: package_test.sh PACKAGE_SH LINUX_BUILD MINGW_BUILD WORK VERSION
set -euo pipefail
package_sh=$1 linux=$2 mingw=$3 work=$4 version=$5

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
bash "$package_sh" "$linux" "$mingw" "$work/dist"
deb=$work/dist/padwright_${version}_amd64.deb
zip=$work/dist/padwright-${version}-windows-x64.zip
[ -f "$deb" ] && [ -f "$zip" ] || fail "expected $deb and $zip, got: $(ls "$work/dist")"

# The .deb: the program, its menu entry, icon, manual page and documentation, and what keeps a
# calibration (the applier and its udev rule, the helper and its polkit action), nothing else.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
expected="./usr/bin/padwright
./usr/lib/udev/rules.d/72-padwright.rules
./usr/libexec/padwright/padwright-apply
./usr/libexec/padwright/padwright-store
./usr/share/applications/padwright.desktop
./usr/share/doc/padwright/THIRD-PARTY-NOTICES
./usr/share/doc/padwright/changelog.gz
./usr/share/doc/padwright/copyright
./usr/share/icons/hicolor/16x16/apps/padwright.png
./usr/share/icons/hicolor/32x32/apps/padwright.png
./usr/share/man/man1/padwright.1.gz
./usr/share/polkit-1/actions/org.padwright.keep-calibration.policy"
[ "$files" = "$expected" ] || fail "the .deb holds:
$files"
echo "deb: $(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')"

# Its dependencies come from the libraries the program links (dpkg-shlibdeps), FLTK among them.
depends=$(dpkg-deb -f "$deb" Depends)
echo "deb: Depends: $depends"
for library in libc6 libfltk1.3 libstdc++6; do
  [[ ", $depends" == *", $library ("* ]] || fail "Depends lacks $library: $depends"
done

recommends=$(dpkg-deb -f "$deb" Recommends)
[[ "$recommends" == *pkexec* ]] || fail "Recommends lacks pkexec: $recommends"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian finds errors"; }
grep -v 'running with root privileges' "$work/lintian.log" || true

# Unpacked into a scratch folder, the program answers with its version, and the icons have the sizes
# their folders say.
dpkg-deb -x "$deb" "$work/root"
answer=$("$work/root/usr/bin/padwright" --version)
[ "$answer" = "Padwright $version" ] || fail "padwright --version says '$answer'"
# The polkit action is valid against polkit's DTD and names the helper where the .deb puts it; the
# rule runs the applier from there.
xmllint --noout --dtdvalid /usr/share/polkit-1/policyconfig-1.dtd \
  "$work/root/usr/share/polkit-1/actions/org.padwright.keep-calibration.policy" || fail "the polkit action is not valid"
grep -q '"org.freedesktop.policykit.exec.path">/usr/libexec/padwright/padwright-store<' \
  "$work/root/usr/share/polkit-1/actions/org.padwright.keep-calibration.policy" || fail "the action names another helper"
grep -q 'RUN+="/usr/libexec/padwright/padwright-apply $devnode"' "$work/root/usr/lib/udev/rules.d/72-padwright.rules" ||
  fail "the rule runs another applier"
for size in 16 32; do
  file "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/padwright.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size}x${size} icon is no $size x $size PNG"
done

# The zip: the program, its README, licence and notices in one folder; no padwright-sim.exe.
top=padwright-${version}-windows-x64
files=$(cmake -E tar tf "$zip" | sort)
expected="$top/LICENSE.txt
$top/README.txt
$top/THIRD-PARTY-NOTICES.txt
$top/padwright.exe"
[ "$files" = "$expected" ] || fail "the zip holds:
$files"
echo "zip: $(echo "$files" | tr '\n' ' ')"

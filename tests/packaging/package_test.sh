#!/usr/bin/env bash
# Packages a Linux build and a mingw build and checks the artefacts as a user and the ecosystem's own
# tools would, without installing anything: package_test.sh PACKAGE_SH LINUX_BUILD MINGW_BUILD WORK VERSION
# ./package runs it too, on its release builds, as the second of its two packagings.
set -euo pipefail
package_sh=$1 linux=$2 mingw=$3 work=$(realpath -m "$4") version=$5
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$(dirname "$package_sh")/.." && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
bash "$package_sh" "$linux" "$mingw" "$work/dist"
deb=$work/dist/padwright_${version}_amd64.deb
zip=$work/dist/padwright-${version}-windows-x64.zip
[ -f "$deb" ] && [ -f "$zip" ] || fail "expected $deb and $zip, got: $(ls "$work/dist")"
(cd "$work/dist" && sha256sum --quiet -c SHA256SUMS && [ "$(wc -l <SHA256SUMS)" -eq 2 ]) ||
    fail "SHA256SUMS does not list both downloads: $(cat "$work/dist/SHA256SUMS")"

# The .deb: the program, its menu and software-centre entries, icons at every size desktops ask for,
# manual page and documentation, and what keeps a calibration (the applier and its udev rule, the
# helper and its polkit action), nothing else.
icon_sizes="16 24 32 48 64 128 256"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
expected=$( {
    printf '%s\n' ./usr/bin/padwright ./usr/share/applications/org.example.padwright.desktop \
        ./usr/share/doc/padwright/THIRD-PARTY-NOTICES ./usr/share/doc/padwright/changelog.gz \
        ./usr/share/doc/padwright/copyright ./usr/share/icons/hicolor/scalable/apps/padwright.svg \
        ./usr/share/man/man1/padwright.1.gz ./usr/share/metainfo/org.example.padwright.metainfo.xml \
        ./usr/lib/udev/rules.d/72-padwright.rules ./usr/libexec/padwright/padwright-apply \
        ./usr/libexec/padwright/padwright-store ./usr/share/polkit-1/actions/org.padwright.keep-calibration.policy
    for size in $icon_sizes; do echo "./usr/share/icons/hicolor/${size}x${size}/apps/padwright.png"; done
} | sort)
[ "$files" = "$expected" ] || fail "the .deb holds:
$files"
echo "deb: $(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')"

# Its dependencies come from the libraries the program links (dpkg-shlibdeps), FLTK among them; the
# feedback link and the layout's font are recommended.
depends=$(dpkg-deb -f "$deb" Depends)
echo "deb: Depends: $depends"
for library in libc6 libfltk1.3 libstdc++6; do
  [[ ", $depends" == *", $library ("* ]] || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = "xdg-utils, fonts-liberation, pkexec" ] ||
    fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

# lintian, pedantic: only the tags of lintian-allowed, and the hardening ones on a build that was not
# hardened.
allowed=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$here/lintian-allowed")
if ! grep -q '^PADWRIGHT_HARDEN:BOOL=ON$' "$linux/CMakeCache.txt"; then
  allowed+=$'\n'$(printf '%s\n' hardening-no-bindnow hardening-no-fortify-functions hardening-no-relro)
  echo "lintian: $linux is not hardened (PADWRIGHT_HARDEN): its hardening tags are allowed"
fi
lintian --pedantic --display-info --display-experimental --fail-on none "$deb" 2>&1 |
    grep -v 'running with root privileges' >"$work/lintian.log" || true
cat "$work/lintian.log"
while read -r tag; do
  grep -qxF -- "$tag" <<<"$allowed" || fail "lintian shows $tag, which lintian-allowed does not allow"
done < <(sed -n 's/^[A-Z]: padwright[^:]*: \([a-z0-9+.-]*\).*/\1/p' "$work/lintian.log")

# Unpacked into a scratch folder: the program answers with its version; the icons have the sizes their
# folders say; the menu entry and the software-centre entry pass their validators, and AppStream's
# compose makes a catalogue that lists Padwright with its icon.
root=$work/root
dpkg-deb -x "$deb" "$root"
answer=$("$root/usr/bin/padwright" --version)
[ "$answer" = "Padwright $version" ] || fail "padwright --version says '$answer'"
# The polkit action is valid against polkit's DTD and names the helper where the .deb puts it; the
# rule runs the applier from there.
xmllint --noout --dtdvalid /usr/share/polkit-1/policyconfig-1.dtd \
  "$root/usr/share/polkit-1/actions/org.padwright.keep-calibration.policy" || fail "the polkit action is not valid"
grep -q '"org.freedesktop.policykit.exec.path">/usr/libexec/padwright/padwright-store<' \
  "$root/usr/share/polkit-1/actions/org.padwright.keep-calibration.policy" || fail "the action names another helper"
grep -q 'RUN+="/usr/libexec/padwright/padwright-apply $devnode"' "$root/usr/lib/udev/rules.d/72-padwright.rules" ||
  fail "the rule runs another applier"
for size in $icon_sizes; do
  file "$root/usr/share/icons/hicolor/${size}x${size}/apps/padwright.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size}x${size} icon is no $size x $size PNG"
done
file "$root/usr/share/icons/hicolor/scalable/apps/padwright.svg" | grep -q "SVG" || fail "the scalable icon is no SVG"
desktop-file-validate "$root/usr/share/applications/org.example.padwright.desktop" || fail "desktop-file-validate"
metainfo=$root/usr/share/metainfo/org.example.padwright.metainfo.xml
appstreamcli validate --pedantic --no-net "$metainfo" || fail "appstreamcli validate"
grep -q "<release version=\"$version\" date=\"[0-9-]*\"/>" "$metainfo" || fail "the metainfo has no release $version"
appstreamcli compose --no-net --origin=padwright --result-root="$work/catalogue" "$root" >"$work/compose.log" 2>&1 ||
    { cat "$work/compose.log"; fail "appstreamcli compose"; }
catalogue=$(zcat "$work/catalogue/usr/share/swcatalog/xml/padwright.xml.gz")
for want in '<id>org.example.padwright</id>' '<name>Padwright</name>' '<binary>padwright</binary>' \
            '<icon type="cached" width="64" height="64">'; do
  grep -qF -- "$want" <<<"$catalogue" || fail "the composed catalogue lacks $want:
$catalogue"
done
echo "appstream: the composed catalogue lists org.example.padwright"

# The zip: the program, its README, licence and notices in one folder; no padwright-sim.exe, no test
# programs.
top=padwright-${version}-windows-x64
files=$(cmake -E tar tf "$zip" | sort)
expected="$top/LICENSE.txt
$top/README.txt
$top/THIRD-PARTY-NOTICES.txt
$top/padwright.exe"
[ "$files" = "$expected" ] || fail "the zip holds:
$files"
echo "zip: $(echo "$files" | tr '\n' ' ')"
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
# Texts a Windows user reads: no "&" of a button's mnemonic, no path to Debian's licence folder.
! grep -n '&[A-Z][a-z]' "$work/zip/$top/README.txt" || fail "README.txt shows a mnemonic's '&'"
! grep -n 'common-licenses' "$work/zip/$top/THIRD-PARTY-NOTICES.txt" || fail "the notices point to common-licenses"
grep -q '^---- GNU General Public License, version 3' "$work/zip/$top/THIRD-PARTY-NOTICES.txt" ||
    fail "the notices lack the GPL's text"

# padwright.exe: the last commit's time in its PE header (the linker writes none, strip writes
# SOURCE_DATE_EPOCH), and every image of padwright.ico in its resources.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}
sizes=$(EPOCH=$epoch perl -e '
    local $/;
    open my $in, "<:raw", $ARGV[0] or die "$ARGV[0]: $!\n"; my $ico = <$in>;
    open $in, "<:raw", $ARGV[1] or die "$ARGV[1]: $!\n"; my $exe = <$in>;
    my $pe = unpack "V", substr($exe, 0x3C, 4);
    my $stamp = unpack "V", substr($exe, $pe + 8, 4);
    die "padwright.exe carries the time stamp $stamp, not $ENV{EPOCH}\n" if $stamp != $ENV{EPOCH};
    my @sizes;
    for my $i (0 .. (unpack "v", substr($ico, 4, 2)) - 1) {
        my ($width, $bytes, $offset) = (unpack "CC6vVV", substr($ico, 6 + 16 * $i, 16))[0, 4, 5];
        my $size = $width || 256;
        die "padwright.exe lacks the ${size}x$size icon\n" if index($exe, substr($ico, $offset, $bytes)) < 0;
        push @sizes, $size;
    }
    print "@sizes\n";' "$source_dir/src/platform/win32/padwright.ico" "$work/zip/$top/padwright.exe") ||
    fail "padwright.exe: $sizes"
[ "$sizes" = "16 20 24 32 48 256" ] || fail "padwright.exe's icon holds $sizes"
echo "exe: time stamp $epoch; icon $sizes"

#!/usr/bin/env bash
# Installs the built program into a temporary root and checks it as a user's
# desktop would see it: the desktop entry and the metainfo validate, the
# installed programs run, keep their folders in the per-user location and
# work together through the demo, and the .deb declares its dependencies, has
# Debian's copyright file and changelog, and passes lintian where it is present.
#   check_install.sh BUILD_DIR VERSION APP_ID RELEASE_DATE
set -euo pipefail
build=$1 version=$2 id=$3 released=$4

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root=$tmp/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
bin=$root/usr/bin
for f in bin/krm2200 bin/krm2200-cli bin/krm2200-sim bin/krm2200-demo share/applications/$id.desktop \
         share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg \
         share/doc/krm2200/copyright share/doc/krm2200/changelog.gz \
         share/krm2200/prometheus/krm2200-rules.yml lib/systemd/system/krm2200-serve@.service; do
    [ -f "$root/usr/$f" ] || fail "not installed: $f"
done

desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$id.metainfo.xml"
grep -q '^Name\[ja\]=' "$root/usr/share/applications/$id.desktop" || fail "no Japanese name"

# The changelog's latest entry is this version, released on the metainfo's date.
doc=$root/usr/share/doc/krm2200
entry=$(gzip -dc "$doc/changelog.gz" | head -1)
[[ $entry == "krm2200 ($version) "* ]] || fail "the changelog's latest entry is not $version: $entry"
signed=$(gzip -dc "$doc/changelog.gz" | grep -m1 '^ -- ' | sed 's/.*>  //')
[ "$(date -d "$signed" +%F)" = "$released" ] || fail "changelog dated $signed, released $released"
head -1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' \
    || fail "the copyright file is not in Debian's machine-readable format"

[ "$("$bin/krm2200" --version)" = "krm2200 $version" ] || fail "krm2200 --version"
[ "$("$bin/krm2200-cli" --version)" = "krm2200-cli $version" ] || fail "krm2200-cli --version"

# A user of the installed program: nothing of theirs may land beside the
# executable, even when that folder is writable (as it is here, and for root).
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/data XDG_CONFIG_HOME=$tmp/home/config
export XDG_RUNTIME_DIR=$tmp/runtime KRM_EXIT_WHEN_READY=1
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# No instrument here: the start ends at the port (exit status 3), which is a
# start all the same; anything else is not.
started() { local rc=0; "$@" >"$tmp/run.log" 2>&1 || rc=$?; [ "$rc" -eq 0 ] || [ "$rc" -eq 3 ]; }
user=$XDG_DATA_HOME/krm2200
# The tool first, in a fresh home: it makes the window's folder, not one of
# its own, and the window then finds what the tool stored there.
started "$bin/krm2200-cli" --port "$tmp/no-device" status || fail "installed krm2200-cli did not start: $(cat "$tmp/run.log")"
[ -f "$user/sys/KRM.ini" ] && [ -d "$user/LOG/XSYS_LOG" ] || fail "krm2200-cli kept no program folder in $user"
[ "$(ls "$XDG_DATA_HOME")" = krm2200 ] || fail "krm2200-cli made another folder: $(ls "$XDG_DATA_HOME")"
printf '[COM]\npara=1\ndevice=%s\n' "$tmp/window-port" >>"$user/sys/KRM.ini"
started "$bin/krm2200-cli" status || fail "krm2200-cli status: $(cat "$tmp/run.log")"
grep -q "window-port" "$tmp/run.log" || fail "krm2200-cli did not take the window's port: $(cat "$tmp/run.log")"
started "$bin/krm2200" || fail "installed krm2200 did not start: $(cat "$tmp/run.log")"
[ -f "$user/sys/KRM.ini" ] && [ -d "$user/LOG/XSYS_LOG" ] || fail "no program folder in $user"
started "$bin/krm2200" --home "$tmp/chosen" || fail "krm2200 --home: $(cat "$tmp/run.log")"
[ -f "$tmp/chosen/sys/KRM.ini" ] || fail "--home was not used"
ls "$bin" | sort | tr '\n' ' ' | grep -qx 'krm2200 krm2200-cli krm2200-demo krm2200-sim ' \
    || fail "files written beside the installed executable: $(ls "$bin")"

# The status service as installed, its program the installed one.
if command -v systemd-analyze >/dev/null; then
    sed "s#/usr/bin/krm2200-cli#$bin/krm2200-cli#" "$root/usr/lib/systemd/system/krm2200-serve@.service" \
        >"$tmp/krm2200-serve@ttyUSB0.service"
    systemd-analyze verify "$tmp/krm2200-serve@ttyUSB0.service" || fail "systemd-analyze verify"
fi

# The demo: the installed simulator answers the installed program's whole read.
"$bin/krm2200-demo" >"$tmp/demo.log" 2>&1 || fail "krm2200-demo: $(cat "$tmp/demo.log")"
grep -q '^SEN0=' "$user/demo/sys/KRM.ini" || fail "the demo read no settings"

# The package, from this build folder as it stands.
cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 \
    || fail "cpack: $(cat "$tmp/cpack.log")"
deb=$(ls "$tmp"/pkg/krm2200_"$version"_*.deb)
info=$(dpkg-deb --info "$deb")
depends=$(grep '^ Depends:' <<<"$info") || fail "the .deb declares no dependencies"
echo "$depends"
for p in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6printsupport6 \
         libqt6httpserver6 fonts-noto-cjk qt6-translations-l10n; do
    grep -qw "$p" <<<"$depends" || fail "the .deb does not depend on $p"
done
contents=$(dpkg-deb --contents "$deb")
for f in bin/krm2200 bin/krm2200-cli bin/krm2200-sim bin/krm2200-demo share/applications/$id.desktop \
         share/doc/krm2200/copyright share/doc/krm2200/changelog.gz \
         share/krm2200/prometheus/krm2200-rules.yml lib/systemd/system/krm2200-serve@.service; do
    grep -q "\./usr/$f$" <<<"$contents" || fail "not in the .deb: $f"
done

# Installed without its recommended packages, the program still finds its
# display and printing plugins, and its hard dependencies bring no QML.
mapfile -t declared < <(sed 's/^ Depends: //; s/([^)]*)//g; s/[,|]/\n/g' <<<"$depends" | tr -d ' ' | grep .)
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
              --no-replaces --no-enhances "${declared[@]}" | grep -v '^ ' | sort -u)
for plugin in platforms/libqxcb.so printsupport/libcupsprintersupport.so; do
    owner=$(dpkg -S "*/qt6/plugins/$plugin" | cut -d: -f1 | head -1) || fail "no Qt plugin $plugin here"
    grep -qx "$owner" <<<"$closure" || fail "$plugin ($owner) only comes with recommended packages"
done
if grep -E '^(libqt6qml6|libqt6quick6|qt6-wayland)$' <<<"$closure"; then
    fail "the .deb's dependencies pull in QML or the Wayland plugin"
fi

if command -v lintian >/dev/null; then
    # Errors fail; warnings and notes are shown.
    lintian --fail-on error "$deb" || fail "lintian reports errors"
else
    echo "lintian not installed: package policy not checked"
fi
echo "install check passed"

#!/usr/bin/env bash
# Builds the Debian package and checks it as a user would meet it: the files it holds, its
# control data and scripts, the unpacked programs run from their installed place (the CLI
# against the built-in virtual frame, reading the installed lan.ini), the udev rule and its probe,
# then lintian (no error, no warning) and appstreamcli on the AppStream metadata.
#   usage: scripts/check-package.sh [BUILD_DIR]     (default build/default, configured already)
# Exits 0 when every check passed, 1 when one failed, 2 when the package could not be built.
set -uo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build_dir=${1:-build/default}

failures=0
ok() { echo "ok:   $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
die() { echo "check-package: $*" >&2; exit 2; }

for tool in dpkg-deb dpkg dpkg-parsechangelog cmake lintian appstreamcli; do
  command -v "$tool" >/dev/null ||
    die "$tool is missing (a Debian system with dpkg-dev, lintian and appstream: scripts/install-deps.sh)"
done
[ -f "$build_dir/CMakeCache.txt" ] || die "$build_dir is not a configured build folder (run 'make build' first)"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/oculant-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# ---- Build ---------------------------------------------------------------------------------
echo "Building the package in $build_dir ..."
if ! cmake --build "$build_dir" --target package >"$scratch/build.log" 2>&1; then
  tail -n 30 "$scratch/build.log"
  die "the package did not build (log above)"
fi
upstream=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build_dir/CPackConfig.cmake")
release=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_RELEASE "\(.*\)")$/\1/p' "$build_dir/CPackConfig.cmake")
version=$upstream${release:+-$release}
deb="$build_dir/oculant_${version}_$(dpkg --print-architecture).deb"
[ -n "$upstream" ] && [ -f "$deb" ] || die "no package $deb after the build"
ok "built $deb"
gui=OFF
grep -q '^OCULANT_BUILD_GUI:BOOL=ON' "$build_dir/CMakeCache.txt" && gui=ON

# ---- Contents ------------------------------------------------------------------------------
dpkg-deb -c "$deb" >"$scratch/contents" || die "dpkg-deb cannot list $deb"
# "./usr/bin/oculant-cli -> ../lib/oculant/oculant-cli" or "./usr/lib/oculant/lan.ini"
awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' "$scratch/contents" >"$scratch/entries"

expected=(
  "./usr/lib/oculant/oculant-cli"
  "./usr/lib/oculant/oculant-udev-probe"
  "./usr/lib/oculant/lan.ini"
  "./usr/bin/oculant-cli -> ../lib/oculant/oculant-cli"
  "./usr/lib/udev/rules.d/70-oculant.rules"
  "./usr/share/man/man1/oculant-cli.1.gz"
  "./usr/share/bash-completion/completions/oculant-cli"
  "./usr/share/doc/oculant/copyright"
  "./usr/share/doc/oculant/changelog.Debian.gz"
  "./usr/share/lintian/overrides/oculant"
)
for profile in "$source_dir"/data/profiles/*.ini; do
  expected+=("./usr/share/oculant/profiles/$(basename "$profile")")
done
for plan in "$source_dir"/data/plans/*.ini; do
  expected+=("./usr/share/oculant/plans/$(basename "$plan")")
done
if [ "$gui" = ON ]; then
  expected+=(
    "./usr/lib/oculant/oculant"
    "./usr/bin/oculant -> ../lib/oculant/oculant"
    "./usr/share/applications/oculant.desktop"
    "./usr/share/icons/hicolor/scalable/apps/oculant.svg"
    "./usr/share/man/man1/oculant.1.gz"
    "./usr/share/metainfo/org.example.oculant.metainfo.xml"
  )
fi
for entry in "${expected[@]}"; do
  if grep -qxF -- "$entry" "$scratch/entries"; then ok "holds $entry"; else fail "does not hold $entry"; fi
done
# Nothing else: no test programs, no build leftovers.
unexpected=$(grep -v '/$' "$scratch/entries" | grep -vxF -f <(printf '%s\n' "${expected[@]}") || true)
if [ -z "$unexpected" ]; then ok "holds no other file"; else fail "holds unexpected files: $unexpected"; fi

# ---- Control data and scripts ----------------------------------------------------------------
dpkg-deb -f "$deb" >"$scratch/control"
field() { sed -n "s/^$1: //p" "$scratch/control"; }
[ "$(field Package)" = oculant ] && ok "Package: oculant" || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] && ok "Version: $version" || fail "Version is '$(field Version)'"
[ "$(field Section)" = utils ] && ok "Section: utils" || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^.+\ \<.+@.+\>$ ]] && ok "Maintainer: $(field Maintainer)" ||
  fail "Maintainer is '$(field Maintainer)', not 'Name <address>'"
needed=(libc6 libstdc++6 libudev1 libsqlite3-0 libpq5)
[ "$gui" = ON ] && needed+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6charts6 libjpeg62-turbo)
for lib in "${needed[@]}"; do
  if field Depends | tr ',' '\n' | grep -q "^ *$lib\( \|$\)"; then ok "depends on $lib"; else
    fail "Depends lacks $lib: $(field Depends)"; fi
done

dpkg-deb -e "$deb" "$scratch/DEBIAN" || die "dpkg-deb cannot extract the control scripts"
mkdir -p "$scratch/fakebin" "$scratch/nobin"
printf '#!/bin/sh\necho "udevadm $*" >>"%s"\nexit 1\n' "$scratch/udevadm.log" >"$scratch/fakebin/udevadm"
chmod +x "$scratch/fakebin/udevadm"
for script in postinst postrm; do
  action=configure
  [ "$script" = postrm ] && action=remove
  if [ ! -x "$scratch/DEBIAN/$script" ]; then
    fail "no executable $script"
    continue
  fi
  : >"$scratch/udevadm.log"
  # A udevadm that fails (no udev daemon, as in a container) must not fail the installation...
  if PATH="$scratch/fakebin" /bin/sh "$scratch/DEBIAN/$script" "$action" &&
    grep -q "control --reload-rules" "$scratch/udevadm.log" &&
    grep -q "trigger --subsystem-match=hidraw" "$scratch/udevadm.log"; then
    ok "$script $action reloads the udev rules and survives udevadm failing"
  else
    fail "$script $action with a failing udevadm: exit or calls wrong ($(tr '\n' ';' <"$scratch/udevadm.log"))"
  fi
  # ...and neither must a system without udevadm at all.
  if PATH="$scratch/nobin" /bin/sh "$scratch/DEBIAN/$script" "$action"; then ok "$script $action without udevadm"; else
    fail "$script $action fails where udevadm is missing"; fi
done

# ---- The unpacked programs -------------------------------------------------------------------
root="$scratch/root"
dpkg -x "$deb" "$root" || die "dpkg -x failed"
cli="$root/usr/bin/oculant-cli"
lan="$root/usr/lib/oculant/lan.ini"
# The value of key in a section of the installed language file.
lan_value() {
  awk -v s="[$1]" -v k="$2" '/^\[/ { in_s = ($0 == s) } in_s && index($0, k "=") == 1 {
    sub(/^[^=]*=/, ""); sub(/\r$/, ""); print; exit }' "$lan"
}
model_label=$(lan_value English Label1)
model_label_zh=$(lan_value 中文简体 Label1)
[ -n "$model_label" ] && [ -n "$model_label_zh" ] || fail "the installed lan.ini has no Label1 in English and 中文简体"

if (cd "$scratch" && timeout 60 "$cli" --virtual-frame info >"$scratch/info.out" 2>"$scratch/info.err"); then
  ok "oculant-cli --virtual-frame info ran from the unpacked /usr/bin"
else
  fail "oculant-cli --virtual-frame info failed: $(cat "$scratch/info.err")"
fi
cat "$scratch/info.out"
grep -q "^Device: *virtual:0$" "$scratch/info.out" && grep -q "^$model_label *VF-43$" "$scratch/info.out" &&
  grep -q "^X boards: *5 (32 32 32 32 32)$" "$scratch/info.out" &&
  ok "info shows the virtual frame's device, model and boards" || fail "info does not show the virtual frame"
if grep -q "not found" "$scratch/info.err"; then fail "lan.ini not found: $(cat "$scratch/info.err")"; else
  ok "no missing-language-file warning"; fi

if (cd "$scratch" && timeout 60 "$cli" --virtual-frame --language 中文简体 info >"$scratch/info-zh.out" 2>&1) &&
  grep -q "^$model_label_zh *VF-43$" "$scratch/info-zh.out"; then
  ok "--language 中文简体 labels the model '$model_label_zh', from the installed lan.ini"
else
  fail "--language 中文简体 info: $(cat "$scratch/info-zh.out")"
fi
# The refusal names the file the program reads: the one beside the real executable, found
# through the /usr/bin link.
(cd "$scratch" && "$cli" --virtual-frame --language No-Such-Language info >/dev/null 2>"$scratch/nolang.err")
status=$?
if [ "$status" -eq 64 ] && grep -qF "in $root/usr/lib/oculant/lan.ini" "$scratch/nolang.err"; then
  ok "the CLI reads $root/usr/lib/oculant/lan.ini"
else
  fail "an unknown language gave status $status and: $(cat "$scratch/nolang.err")"
fi

# The bash completion: the one the installed program writes, offering every command of its help.
completion="$root/usr/share/bash-completion/completions/oculant-cli"
if [ -f "$completion" ] && cmp -s "$completion" <("$cli" --bash-completion); then
  ok "the bash completion is the one the installed oculant-cli writes"
else
  fail "the bash completion is missing or is not what 'oculant-cli --bash-completion' writes"
fi
offered=$(bash --norc --noprofile -c 'source "$0" && COMP_WORDS=(oculant-cli "") COMP_CWORD=1 && _oculant_cli &&
  printf "%s\n" "${COMPREPLY[@]}"' "$completion" 2>&1 | sort)
listed=$("$cli" --help | sed -n '/^commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' | sort -u)
if [ -n "$listed" ] && [ "$offered" = "$listed" ]; then
  ok "the bash completion offers the $(wc -l <<<"$listed") commands of --help"
else
  fail "the bash completion offers '$(tr '\n' ' ' <<<"$offered")', --help lists '$(tr '\n' ' ' <<<"$listed")'"
fi

if [ "$gui" = ON ]; then
  if "$root/usr/bin/oculant" --help >"$scratch/gui-help" 2>&1 && grep -q "^usage: oculant " "$scratch/gui-help"; then
    ok "oculant --help runs from the unpacked /usr/bin"
  else
    fail "oculant --help: $(cat "$scratch/gui-help")"
  fi
  if command -v desktop-file-validate >/dev/null; then
    if out=$(desktop-file-validate "$root/usr/share/applications/oculant.desktop" 2>&1) && [ -z "$out" ]; then
      ok "the desktop entry validates"
    else
      fail "desktop-file-validate: $out"
    fi
  fi
fi

# ---- Manual pages: every command and option of --help is described ----------------------------
# The roff text with its escapes taken out: "\-\-json" reads "--json", "\fBlist\fR" reads "list".
man_text() { gzip -dc "$1" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g'; }
check_man() {  # program, manual page, help text
  local program=$1 page=$2 help=$3 missing=()
  [ -f "$page" ] || { fail "no manual page for $program"; return; }
  man_text "$page" >"$scratch/man.txt"
  if command -v groff >/dev/null; then
    warnings=$(gzip -dc "$page" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] && ok "$program(1) formats without warnings" || fail "$program(1): $warnings"
  fi
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "$option" "$scratch/man.txt" || missing+=("$option")
  done
  # The commands: the first word of each line of the help's command list.
  for command in $(sed -n '/^commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$help"); do
    grep -qE "^\.BR? $command( |$)" "$scratch/man.txt" || missing+=("$command")
  done
  [ ${#missing[@]} -eq 0 ] && ok "$program(1) describes every command and option of --help" ||
    fail "$program(1) does not describe: ${missing[*]}"
}
check_man oculant-cli "$root/usr/share/man/man1/oculant-cli.1.gz" "$("$cli" --help 2>&1)"
[ "$gui" = ON ] && check_man oculant "$root/usr/share/man/man1/oculant.1.gz" "$("$root/usr/bin/oculant" --help 2>&1)"

# ---- The udev rule runs the installed probe, and the probe answers ----------------------------
rule="$root/usr/lib/udev/rules.d/70-oculant.rules"
if grep -qxF 'IMPORT{program}="/usr/lib/oculant/oculant-udev-probe %S%p"' "$rule" &&
  grep -qxF 'ENV{ID_OCULANT_FRAME}=="1", TAG+="uaccess"' "$rule"; then
  ok "the udev rule runs /usr/lib/oculant/oculant-udev-probe and tags its frames with uaccess"
else
  fail "the udev rule does not run the installed probe: $(grep -v '^#' "$rule" | grep .)"
fi
# A hidraw node's sysfs folder as the kernel lays it out, for the virtual frame's descriptor and
# a mouse's: hidrawN/device leads to the HID device and its report_descriptor.
probe_node() {  # name, hex text of the descriptor
  local hid="$scratch/sys/devices/hid/$1"
  mkdir -p "$hid/hidraw/hidraw0"
  printf "$(tr -d ' \n' <<<"$2" | sed 's/../\\x&/g')" >"$hid/report_descriptor"  # raw bytes, as in sysfs
  ln -s ../.. "$hid/hidraw/hidraw0/device"
  echo "$hid/hidraw/hidraw0"
}
frame_node=$(probe_node frame "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 85 03 95 3F 09 02 81 00 85 04 95 3E 09 03 91 02 C0")
mouse_node=$(probe_node mouse "$(cat "$source_dir/tests/data/hid-corpus/046D_C077_0002_0001.hex")")
probe="$root/usr/lib/oculant/oculant-udev-probe"
if out=$("$probe" "$frame_node" 2>&1) && [ "$out" = "ID_OCULANT_FRAME=1" ] &&
  out=$("$probe" "$mouse_node" 2>&1) && [ -z "$out" ] &&
  out=$("$root/usr/lib/oculant/oculant-cli" udev-probe "$frame_node" 2>&1) && [ "$out" = "ID_OCULANT_FRAME=1" ]; then
  ok "the unpacked oculant-udev-probe (and oculant-cli udev-probe) answers ID_OCULANT_FRAME=1 for a frame's sysfs folder, nothing for a mouse's"
else
  fail "the probe on the frame and the mouse: '$out'"
fi
"$probe" "$scratch/no-such-node" >/dev/null 2>&1
status=$?
[ "$status" -eq 1 ] && ok "the probe exits 1 where no descriptor can be read" || fail "the probe on nothing: status $status"
needed=$(readelf -d "$probe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
if ! grep -qE 'sqlite|libpq|Qt6|ssl|crypto|udev' <<<"$needed"; then
  ok "the probe needs only $needed"
else
  fail "the probe needs libraries it has no use for: $needed"
fi

# ---- What Debian checks: the changelog, lintian, AppStream -------------------------------------
gzip -dc "$root/usr/share/doc/oculant/changelog.Debian.gz" >"$scratch/changelog"
changelog_version=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version 2>/dev/null)
[ "$changelog_version" = "$version" ] && ok "changelog.Debian starts with $version" ||
  fail "changelog.Debian starts with '$changelog_version', the package is $version (add an entry to cmake/debian/changelog)"

# Everything lintian has to say goes to the log; an error or a warning fails the check.
lintian -i -EvIL +pedantic "$deb" >"$scratch/lintian.log" 2>&1
tags=$(grep -E '^[EWIPX]: ' "$scratch/lintian.log" | cut -c1 | sort | uniq -c | awk '{ printf "%s%s %s", sep, $1, $2; sep = ", " }')
echo "lintian -i -EvIL +pedantic: ${tags:-no tags}"
if lintian --fail-on error,warning "$deb" >"$scratch/lintian.short" 2>&1; then
  ok "lintian: no error, no warning"
else
  fail "lintian: $(grep -E '^[EW]: ' "$scratch/lintian.short" | tr '\n' ';')"
fi
# The binaries are built with Debian's hardening flags (fortify, stack protector, relro, now).
if unhardened=$(grep -E '^[EWIPX]: .*hardening-' "$scratch/lintian.log"); then
  fail "lintian finds binaries without Debian's hardening: $(tr '\n' ';' <<<"$unhardened")"
else
  ok "lintian finds every binary hardened (no hardening-* tag)"
fi

if [ "$gui" = ON ]; then
  metainfo="$root/usr/share/metainfo/org.example.oculant.metainfo.xml"
  grep -q "<release version=\"$upstream\"" "$metainfo" && ok "the AppStream metadata names the release $upstream" ||
    fail "the AppStream metadata has no <release version=\"$upstream\"> (add one to data/org.example.oculant.metainfo.xml)"
  if appstreamcli validate-tree --no-net --strict --pedantic "$root" >"$scratch/appstream.log" 2>&1; then
    ok "appstreamcli validate-tree --no-net --strict: $(tail -n 1 "$scratch/appstream.log")"
  else
    fail "appstreamcli validate-tree: $(cat "$scratch/appstream.log")"
  fi
fi

echo
if [ "$failures" -ne 0 ]; then
  echo "check-package: $failures check(s) FAILED for $deb"
  exit 1
fi
echo "check-package: $deb passed every check"

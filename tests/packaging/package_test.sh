#!/usr/bin/env bash
# Builds the Debian package from this build tree and checks it as a user
# would meet it: what it installs where, that the installed programs run
# without the build tree, and that the menu entry, the user unit and the
# manual pages pass their own tools. Then installs into a prefix the way a
# ~/.local install does and checks the same set there.
#
#   package_test.sh BUILD_DIR SOURCE_DIR VERSION WITH_DESKTOP(ON|OFF)
#
# Exit status 77 (skipped) where dpkg-deb is missing.
set -euo pipefail
build=$1 source=$2 version=$3 desktop=$4

if ! command -v dpkg-deb >/dev/null; then
  echo "SKIPPED: dpkg-deb not found, so no Debian package can be built or read here"
  exit 77
fi

work=$(mktemp -d)
# CPack and `cmake --install` both rewrite the build tree's list of installed
# files; keep the one of the user's own install.
manifest=$build/install_manifest.txt
[ -f "$manifest" ] && cp -p "$manifest" "$work/install_manifest.txt"
restore() {
  if [ -f "$work/install_manifest.txt" ]; then cp -p "$work/install_manifest.txt" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The programs must run from the package alone, not from the build tree.
unset LD_LIBRARY_PATH

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/out/pathmere_*.deb)
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "pathmere_${version}_${arch}.deb" ] || fail "package named $(basename "$deb")"

# Control fields: the version is the project's; Depends came from the
# programs' shared libraries, and names the MQTT client they load.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
expected_libs=(libc6 libstdc++6 libmosquitto1)
[ "$desktop" = ON ] && expected_libs+=(libqt6widgets6)
for lib in "${expected_libs[@]}"; do
  [[ "$depends" == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
# The newest changelog entry is for this version.
changelog_version=$(sed -n '1s/^pathmere (\([^)]*\)).*/\1/p' "$source/packaging/changelog")
[ "$changelog_version" = "$version" ] || fail "packaging/changelog starts with $changelog_version, not $version"

# Every file in its place, owned by root; the udev rules only as an example.
listing=$(dpkg-deb -c "$deb")
expected=(
  /usr/bin/pathmere-cli
  /usr/lib/systemd/user/pathmere-record.service
  /usr/lib/systemd/user/pathmere-collect.service
  /usr/share/man/man1/pathmere-cli.1.gz
  /usr/share/doc/pathmere/README.md
  /usr/share/doc/pathmere/copyright
  /usr/share/doc/pathmere/changelog.gz
  /usr/share/doc/pathmere/examples/sample-drive.nmea
  /usr/share/doc/pathmere/examples/60-pathmere-gps-receivers.rules
)
desktop_files=(
  /usr/bin/pathmere
  /usr/share/applications/pathmere.desktop
  /usr/share/icons/hicolor/32x32/apps/pathmere.png
  /usr/share/icons/hicolor/64x64/apps/pathmere.png
  /usr/share/icons/hicolor/256x256/apps/pathmere.png
  /usr/share/icons/hicolor/scalable/apps/pathmere.svg
  /usr/share/pathmere/maps/openstreetmap.txt
  /usr/share/man/man1/pathmere.1.gz
)
if [ "$desktop" = ON ]; then
  expected+=("${desktop_files[@]}")
else
  echo "The desktop program is not built here: its files are not looked for."
fi
for file in "${expected[@]}"; do
  grep -q " \.$file\$" <<<"$listing" || fail "$file is not in the package"
done
grep -v ' root/root ' <<<"$listing" && fail "files not owned by root"
grep -E ' \./(etc|usr/lib)/udev/' <<<"$listing" && fail "udev rules installed as active"

dpkg-deb -x "$deb" "$work/root"
root=$work/root
# Nothing refers to where the package was staged or built.
grep -rlF -e "$work" -e "$build" "$root" && fail "build paths inside the package"

version_line=$("$root/usr/bin/pathmere-cli" --version) || fail "pathmere-cli --version: status $?"
[ "$version_line" = "pathmere-cli $version" ] || fail "pathmere-cli --version said: $version_line"

# The packaged logger replays the packaged sample drive as the build's does.
sample=$root/usr/share/doc/pathmere/examples/sample-drive.nmea
cmp -s "$sample" "$source/samples/sample-drive.nmea" || fail "the packaged sample differs from samples/"
TZ=UTC "$root/usr/bin/pathmere-cli" replay "$sample" --output "$work/replay-packaged" \
  >"$work/replay-packaged.txt" || fail "packaged replay: status $?"
TZ=UTC "$build/src/cli/pathmere-cli" replay "$sample" --output "$work/replay-built" \
  >"$work/replay-built.txt" || fail "built replay: status $?"
ls "$work"/replay-packaged/*.plt >/dev/null 2>&1 || fail "the packaged replay wrote no track"
diff -r "$work/replay-packaged" "$work/replay-built" >/dev/null || fail "packaged and built replays differ"
cmp -s "$work/replay-packaged.txt" "$work/replay-built.txt" || fail "packaged and built message logs differ"

# Menu entry, unit and manual pages, each by its own tool.
check_desktop_entry() {  # FILE BINDIR
  local report
  grep -qx "Exec=$2/pathmere" "$1" || fail "$1: Exec is not $2/pathmere"
  grep -qx "Icon=pathmere" "$1" || fail "$1: Icon is not pathmere"
  if ! command -v desktop-file-validate >/dev/null; then
    fail "desktop-file-validate not found (scripts/install-deps.sh installs desktop-file-utils)"
    return
  fi
  # Not even a hint is let through: each one so far named a menu the entry
  # would be missing from or appear twice in.
  if ! report=$(desktop-file-validate "$1" 2>&1) || grep -qE '(hint|warning|error):' <<<"$report"; then
    fail "desktop-file-validate: $report"
  fi
}
check_unit() {  # FILE BINDIR
  grep -qx "ExecStart=$2/pathmere-cli record --no-status" "$1" || fail "$1: ExecStart is not $2/pathmere-cli"
}
check_collect_unit() {  # FILE BINDIR
  grep -qx "ExecStart=$2/pathmere-cli collect \${PATHMERE_BROKER} --output \${PATHMERE_FLEET}" "$1" ||
    fail "$1: ExecStart is not $2/pathmere-cli collect"
}
check_man_page() {  # FILE
  local errors
  if ! command -v man >/dev/null; then
    fail "man not found (scripts/install-deps.sh installs man-db)"
    return
  fi
  errors=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$1" 2>&1 >"$work/page.txt") || fail "man -l $1"
  [ -z "$errors" ] || fail "man -l $1 warned: $errors"
  grep -q "^NAME" "$work/page.txt" || fail "man -l $1 rendered no NAME section"
}

[ "$desktop" = ON ] && check_desktop_entry "$root/usr/share/applications/pathmere.desktop" /usr/bin
unit=$root/usr/lib/systemd/user/pathmere-record.service
check_unit "$unit" /usr/bin
check_collect_unit "$root/usr/lib/systemd/user/pathmere-collect.service" /usr/bin
for page in "$root"/usr/share/man/man1/*.1.gz; do check_man_page "$page"; done

# systemd-analyze needs a user manager it can start; containers often lack
# what that takes, so the step is skipped where a plain unit fails too.
if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze not found: the user unit is not verified"
else
  mkdir -m 700 "$work/runtime" "$work/units"
  printf '[Service]\nExecStart=/bin/true\n' >"$work/units/probe.service"
  if ! probe=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze verify --user --man=no \
                 "$work/units/probe.service" 2>&1); then
    echo "systemd-analyze verify --user does not work here, the user unit is not verified: $probe"
  else
    # Same unit, pointed at the extracted program, which is not in /usr/bin.
    for name in pathmere-record pathmere-collect; do
      sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$root/usr/lib/systemd/user/$name.service" \
        >"$work/units/$name.service"
      report=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze verify --user --man=no \
                 "$work/units/$name.service" 2>&1) || fail "systemd-analyze verify $name: $report"
      [ -z "$report" ] || fail "systemd-analyze verify $name complained: $report"
      echo "systemd-analyze verify --user: $name.service is fine"
    done
  fi
fi

# The same set under a prefix, as `cmake --install build --prefix ~/.local`
# puts it; systemd looks for user units of such a prefix in share/.
prefix=$work/local
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install --prefix"
for file in "${expected[@]}"; do
  file=${file#/usr}
  [[ "$file" == /lib/systemd/user/* ]] && file=/share/systemd/user/${file##*/}
  [ -f "$prefix$file" ] || fail "cmake --install put no $file into the prefix"
done
check_unit "$prefix/share/systemd/user/pathmere-record.service" "$prefix/bin"
check_collect_unit "$prefix/share/systemd/user/pathmere-collect.service" "$prefix/bin"
[ "$desktop" = ON ] && check_desktop_entry "$prefix/share/applications/pathmere.desktop" "$prefix/bin"

if [ "$failures" -ne 0 ]; then
  echo "$failures package check(s) failed"
  exit 1
fi
echo "The package $(basename "$deb") holds and runs what it should."

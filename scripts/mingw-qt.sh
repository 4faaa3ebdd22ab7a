#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Builds Qt's base module for 64-bit Windows with MinGW-w64, from Debian's source package of the
# same Qt the Linux build uses, and installs it into a cache outside the repository. Prints the
# install prefix on its last line. A second run finds the cache and costs nothing.
#
# Static, with only what the program and its tests use: Core, Gui, Widgets, Test and the windows,
# offscreen and minimal platform plugins. Debian's own Qt serves as the host tools (moc, rcc, uic).
set -euo pipefail

version=$(dpkg-query -W -f='${Version}' qt6-base-dev) # e.g. 6.4.2+dfsg-10
options=(
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF
    # The windows plugin wants the DirectWrite 3 font database, which is built only with Direct2D;
    # GDI's serves the window as well.
    -DFEATURE_directwrite3=OFF
    # FEATURE_opengl=OFF alone keeps dynamic OpenGL, which the windows plugin cannot build without.
    -DINPUT_opengl=no
    # Debian's source has no wintab headers.
    -DFEATURE_tabletevent=OFF
)
cache=${KORVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvane}
tag=$(printf '%s\n' "$version" "${options[@]}" | sha256sum | cut -c1-12)
prefix="$cache/qt-${version%%+*}-mingw64-static-$tag"
# A cache from before the licence notices were kept is built again.
if [[ -f "$prefix/.complete" && -f "$prefix/licenses/SOURCE" ]]; then
    echo "$prefix"
    exit 0
fi

started=$SECONDS
stage() { echo "mingw-qt: [$((SECONDS - started)) s] $*" >&2; }

work="$cache/work-$tag"
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/lists/partial" "$work/apt/sources"

# Source lines made from the machine's own binary lines, kept apart from its apt configuration.
stage "fetching the source of qt6-base $version"
for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f "$file" ]] && sed 's/^Types:.*/Types: deb-src/' "$file" >"$work/apt/sources/$(basename "$file")"
done
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f "$file" ]] && sed -n 's/^deb /deb-src /p' "$file" >"$work/apt/sources/$(basename "$file").list"
done
apt=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$work/apt/sources"
     -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache="
     -o "APT::Sandbox::User=root")
apt-get "${apt[@]}" update -qq >&2
(cd "$work" && apt-get "${apt[@]}" source --download-only -qq "qt6-base=$version" >&2)
(cd "$work" && tar -xf qt6-base_*.orig.tar.* && mv qtbase-* src)

stage "configuring"
# Kept with the installed Qt: its own toolchain file loads this one.
mkdir -p "$prefix"
toolchain="$prefix/mingw-w64.toolchain.cmake"
cat >"$toolchain" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
cmake -S "$work/src" -B "$work/build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${options[@]}" >"$work/configure.log" 2>&1 || { tail -40 "$work/configure.log" >&2; exit 1; }

stage "building (about 1,100 steps; half an hour on 2 cores)"
# Ninja's status line, every hundredth step, so that a long build is seen to move.
cmake --build "$work/build" 2>&1 | awk '
    /^\[[0-9]+\/[0-9]+\]/ { split(substr($1, 2, length($1) - 2), n, "/"); if (n[1] % 100 == 0 || n[1] == n[2]) print "mingw-qt:   step " n[1] " of " n[2] > "/dev/stderr"; next }
    /error|FAILED/ { print > "/dev/stderr" }'

stage "installing"
cmake --install "$work/build" >/dev/null
# The licence texts the program's notice points to, and the notices of the third-party code the
# built modules hold, gathered from Qt's own attribution files.
cp -r "$work/src/LICENSES" "$prefix/licenses"
echo "qt6-base $version" >"$prefix/licenses/SOURCE"
python3 - "$work/src" >"$prefix/licenses/THIRD-PARTY.txt" <<'PY'
import json, pathlib, sys
root = pathlib.Path(sys.argv[1])
sys.stdout.reconfigure(encoding="utf-8")
modules = {"qtcore", "qtgui", "qtwidgets"}
# Code for other systems, or for features this build leaves out.
elsewhere = ("android", "cocoa", "forkfd", "gradle", "macOS", "Vulkan", "wasm", "xcb")
for path in sorted(root.joinpath("src").rglob("qt_attribution.json")):
    entries = json.loads(path.read_text(encoding="utf-8"), strict=False)
    for entry in entries if isinstance(entries, list) else [entries]:
        where = f"{path.relative_to(root)} {entry.get('Name', '')}"
        if entry.get("QDocModule") not in modules or any(word in where for word in elsewhere):
            continue
        copyright = entry.get("Copyright", "")
        print("=" * 78)
        print(f"{entry.get('Name', path.parent.name)} {entry.get('Version', '')}".strip())
        print(f"used by Qt: {str(entry.get('QtUsage', '')).strip()}")
        print(f"licence: {entry.get('License', '')}")
        print("\n".join(copyright) if isinstance(copyright, list) else copyright)
        files = entry.get("LicenseFile", entry.get("LicenseFiles", []))
        for name in [files] if isinstance(files, str) else files:
            print()
            file = path.parent / name
            if file.is_file():
                print(file.read_text(encoding="utf-8", errors="replace").rstrip())
            else:
                print(f"(see {name})")
        print()
PY
touch "$prefix/.complete"
rm -rf "$work"
stage "done: $prefix"
echo "$prefix"

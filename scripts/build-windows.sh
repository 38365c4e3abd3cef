#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows programs with MinGW-w64 against Qt cross-built from Debian's own
# source (scripts/build-qt-mingw.sh, cached after its first run), and packs
#   dist/korvane-windows-x64.zip
# with korvane.exe, korvanectl.exe, the Qt and MinGW DLLs they load, the Windows
# platform plugin, the examples and README.txt, and the installer of the same,
#   dist/korvane-VERSION-x64.msi (scripts/windows-msi.sh).
#   bash scripts/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh --windows
qt=$(bash scripts/build-qt-mingw.sh)

build=build-windows
# Qt's toolchain file adds the Qt build to the search paths and loads ours.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/packaging/windows/mingw-w64-x86_64.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-test.sh" >/dev/null
cmake --build "$build" -j "$(nproc)"

stage=$build/stage/korvane-windows-x64
rm -rf "$build/stage"
cmake --install "$build" --prefix "$stage" >/dev/null
mkdir -p "$stage/platforms" "$stage/styles"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Every DLL the programs and plugins load that is not part of Windows, found among
# Qt's and MinGW's, and then what those load in turn.
search=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
queue=("$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll)
while ((${#queue[@]} > 0)); do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    [[ -f $stage/$dll ]] && continue
    for dir in "${search[@]}"; do
      if [[ -f $dir/$dll ]]; then
        cp "$dir/$dll" "$stage/"
        queue+=("$stage/$dll")
        break
      fi
    done
  done
done

# Debug information stays in the build; the zip gets the code only.
find "$stage" -name '*.dll' -o -name '*.exe' | xargs x86_64-w64-mingw32-strip --strip-unneeded

mkdir -p dist
rm -f dist/korvane-windows-x64.zip
(cd "$build/stage" && zip -qr -X "$root/dist/korvane-windows-x64.zip" korvane-windows-x64)
echo "dist/korvane-windows-x64.zip: $(du -k dist/korvane-windows-x64.zip | cut -f1) KB," \
  "$(ls "$stage" | wc -l) entries at its top"

version=$(sed -n 's/^project(Korvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
msi=dist/korvane-$version-x64.msi
rm -f dist/korvane-*-x64.msi
bash scripts/windows-msi.sh "$stage" "$version" "$build/packaging/korvane.ico" "$msi"
echo "$msi: $(du -k "$msi" | cut -f1) KB"

#!/usr/bin/env bash
# One zip per Windows architecture: the window, the command-line tool, the model runtime, the
# README and the licence texts of everything linked into them.
#   scripts/package-windows.sh i686|x86_64 BUILD_DIR DEPS_PREFIX [OUT_DIR]
# BUILD_DIR is a cross build with the window (-DVINTREL_WINDOWS_DEPS=DEPS_PREFIX). Prints the
# SHA-256 of every packed file and of the zip, as sha256sum does; the zip's line is what the update
# reply's "sha256" carries.
set -euo pipefail

usage="usage: package-windows.sh i686|x86_64 BUILD_DIR DEPS_PREFIX [OUT_DIR]"
arch=${1:?$usage}
build=${2:?$usage}
deps=${3:?$usage}
out=${4:-$build/package}
case "$arch" in
  i686) triple=i686-w64-mingw32 ;;
  x86_64) triple=x86_64-w64-mingw32 ;;
  *) echo "package-windows.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
repository=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^VINTREL_VERSION_STRING:STRING=//p' "$build/CMakeCache.txt")
name="Vintrel-${version:?no VINTREL_VERSION_STRING in $build/CMakeCache.txt}-windows-$arch"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name/licenses"
for file in vintrel.exe vintrel-cli.exe granny2.dll; do
  if [ ! -f "$build/bin/$file" ]; then
    echo "package-windows.sh: $build/bin/$file is missing (built with the window?)" >&2
    exit 1
  fi
  cp "$build/bin/$file" "$stage/$name/"
done
# Built with debug information, the executables would be several times their size. strip stamps
# PE files with the time it runs unless given one.
SOURCE_DATE_EPOCH=946684800 "$triple-strip" "$stage/$name"/*.exe "$stage/$name"/*.dll
cp "$repository/README.md" "$stage/$name/"

# What is linked in: GLFW and Dear ImGui from Debian's sources, the header libraries, and the
# GCC and mingw-w64 runtimes (libstdc++, libgcc, winpthreads) of the static link.
licence() {
  if [ ! -f "$2" ]; then
    echo "package-windows.sh: licence text $2 is missing" >&2
    exit 1
  fi
  cp "$2" "$stage/$name/licenses/$1.txt"
}
licence glfw "$(find "$deps/src" -maxdepth 2 -path '*glfw3-*/LICENSE.md' | head -n 1)"
licence dear-imgui "$(find "$deps/src" -maxdepth 2 -path '*imgui-*/LICENSE.txt' | head -n 1)"
licence stb /usr/share/doc/libstb-dev/copyright
licence nlohmann-json /usr/share/doc/nlohmann-json3-dev/copyright
licence cli11 /usr/share/doc/libcli11-dev/copyright
licence gcc-runtime /usr/share/doc/gcc-mingw-w64-base/copyright
licence mingw-w64-runtime "/usr/share/doc/mingw-w64-${arch/_/-}-dev/copyright"

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out/$name.zip"
# Fixed times and order: the same files give the same zip, and so the same checksum.
# zip -X leaves out the owner and access times.
find "$stage/$name" -exec touch -d '2000-01-01 00:00:00 UTC' {} +
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -X -q "$out/$name.zip" -@)
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | xargs sha256sum)
(cd "$out" && sha256sum "$name.zip")

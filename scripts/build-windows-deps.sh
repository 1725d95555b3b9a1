#!/usr/bin/env bash
# GLFW and Dear ImGui for the Windows window, built from Debian's own source packages (Debian
# ships no Windows builds of them) with the same mingw-w64 toolchain as Vintrel:
#   scripts/build-windows-deps.sh i686|x86_64 PREFIX
# leaves PREFIX/lib/libglfw3.a, PREFIX/lib/libimgui.a (core, GLFW and OpenGL2 backends) and their
# headers, for -DVINTREL_WINDOWS_DEPS=PREFIX. A second run with the same sources does nothing.
# Adds deb-src entries for the system's own suites when apt has none (needs root then).
set -euo pipefail

arch=${1:?usage: build-windows-deps.sh i686|x86_64 PREFIX}
prefix=${2:?usage: build-windows-deps.sh i686|x86_64 PREFIX}
case "$arch" in
  i686 | x86_64) ;;
  *) echo "build-windows-deps.sh: unknown architecture $arch (i686 or x86_64)" >&2; exit 2 ;;
esac
repository=$(cd "$(dirname "$0")/.." && pwd)
toolchain="$repository/cmake/mingw-w64-$arch.cmake"
triple="$arch-w64-mingw32"
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
sources="$prefix/src"
jobs=${VINTREL_JOBS:-2}

# The sources are fetched once per prefix; apt-get source checks their signatures and hashes.
if [ ! -f "$sources/fetched" ]; then
  if ! apt-get source --print-uris glfw3 imgui >/dev/null 2>&1; then
    for list in /etc/apt/sources.list.d/*.sources; do
      [ -f "$list" ] || continue
      case "$list" in *-deb-src.sources) continue ;; esac
      grep -q '^Types:.*\bdeb\b' "$list" || continue
      sed 's/^Types:.*/Types: deb-src/' "$list" >"${list%.sources}-deb-src.sources"
    done
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/vintrel-deb-src.list
    fi
    apt-get update -qq
  fi
  rm -rf "$sources"
  mkdir -p "$sources"
  (cd "$sources" && apt-get source -qq glfw3 imgui >/dev/null)
  touch "$sources/fetched"
fi
glfw_source=$(find "$sources" -maxdepth 1 -type d -name 'glfw3-*' | head -n 1)
imgui_source=$(find "$sources" -maxdepth 1 -type d -name 'imgui-*' | head -n 1)
# The stamp names the sources and this script's own text: a changed script builds again.
stamp="$prefix/built-from-$(basename "$glfw_source")-$(basename "$imgui_source")-$(sha256sum "$0" | cut -c1-12)"
if [ -f "$stamp" ]; then
  exit 0
fi

# GLFW: the static library alone, no examples, tests or docs.
cmake -S "$glfw_source" -B "$prefix/build-glfw" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
  -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF -DGLFW_INSTALL=ON >/dev/null
cmake --build "$prefix/build-glfw" -j"$jobs" >/dev/null
cmake --install "$prefix/build-glfw" >/dev/null

# Dear ImGui: the core and the two backends the window uses, laid out as Debian's libimgui-dev
# lays them out (include/imgui/imgui.h, include/imgui/backends/...).
objects="$prefix/build-imgui"
rm -rf "$objects"
mkdir -p "$objects" "$prefix/include/imgui/backends" "$prefix/lib"
stb_include=()
if [ ! -f "$imgui_source/imstb_truetype.h" ]; then stb_include=(-I/usr/include/stb); fi
for file in imgui.cpp imgui_draw.cpp imgui_tables.cpp imgui_widgets.cpp imgui_demo.cpp \
  misc/cpp/imgui_stdlib.cpp backends/imgui_impl_glfw.cpp backends/imgui_impl_opengl2.cpp; do
  "$triple-g++-posix" -std=c++17 -O2 -w -c "$imgui_source/$file" -I"$imgui_source" "${stb_include[@]}" \
    -I"$prefix/include" -o "$objects/$(basename "$file" .cpp).o" &
  while [ "$(jobs -r | wc -l)" -ge "$jobs" ]; do wait -n; done
done
wait
rm -f "$prefix/lib/libimgui.a"
"$triple-ar" rcs "$prefix/lib/libimgui.a" "$objects"/*.o
rm -f "$prefix"/built-from-*
cp "$imgui_source"/*.h "$imgui_source"/misc/cpp/imgui_stdlib.h "$prefix/include/imgui/"
cp "$imgui_source"/backends/imgui_impl_glfw.h "$imgui_source"/backends/imgui_impl_opengl2.h \
  "$prefix/include/imgui/backends/"
touch "$stamp"

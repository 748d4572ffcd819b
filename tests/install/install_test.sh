#!/usr/bin/env bash
# install_test.sh BUILD_DIR SOURCE_DIR CXX
#
# Installs the runtime from BUILD_DIR into a temporary prefix and checks that exactly the public
# headers came along (none of the folders' own headers). Then builds demo.cpp in a directory
# outside the source tree two ways, with CMake (find_package(VoxaRuntime)) and with plain
# CXX and `pkg-config --cflags --libs --static voxaruntime`, and runs both under a private X
# server: each must print "cells 7 RED 255 0" (the red square's pixel, then one beside it) and
# end with status 0.
set -euo pipefail
build=$1 source=$2 cxx=$3
work=$(mktemp -d /tmp/voxa-install-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "install failed"; }

# The installed headers are the public ones, all of them and nothing else.
(cd "$source/runtime/include" && find voxa -name '*.h' | sort) > "$work/public"
(cd "$prefix/include" && find . -type f | sed 's|^\./||' | sort) > "$work/installed"
diff -u "$work/public" "$work/installed" || fail "installed headers differ from runtime/include/voxa"
others=$(find "$prefix" -name '*.h' -not -path "$prefix/include/voxa/*")
[ -z "$others" ] || fail "headers installed outside include/voxa: $others"
for header in $(cd "$source/runtime" && find . -path ./include -prune -o -name '*.h' -print); do
  name=$(basename "$header")
  [ -e "$prefix/include/voxa/$name" ] && ! [ -e "$source/runtime/include/voxa/$name" ] &&
    fail "internal header installed: $header"
done
for f in lib/libvoxaruntime.a lib/cmake/VoxaRuntime/VoxaRuntimeConfig.cmake lib/pkgconfig/voxaruntime.pc; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done

# A project of its own, outside the source tree.
mkdir -p "$work/project"
cp "$source/tests/install/demo.cpp" "$work/project/"
cat > "$work/project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(demo LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(VoxaRuntime 1.0 REQUIRED)
add_executable(demo demo.cpp)
target_link_libraries(demo PRIVATE VoxaRuntime::voxaruntime)
CMAKE
cmake -S "$work/project" -B "$work/project/build" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" > "$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "find_package build: configure failed"; }
cmake --build "$work/project/build" > "$work/build.log" 2>&1 || { cat "$work/build.log"; fail "find_package build failed"; }

flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs --static voxaruntime) ||
  fail "pkg-config does not know voxaruntime"
"$cxx" -std=c++17 -o "$work/project/demo-pkgconfig" "$work/project/demo.cpp" $flags ||
  fail "pkg-config build failed: $cxx ... $flags"

for program in "$work/project/build/demo" "$work/project/demo-pkgconfig"; do
  output=$(SDL_AUDIODRIVER=dummy "$source/scripts/with-xvfb" "$program" | grep -v '^ext:') || fail "$program ended with status $?"
  [ "$output" = "cells 7 RED 255 0" ] || fail "$program printed \"$output\""
  echo "$program: $output"
done
echo "install_test: the installed runtime builds and runs a program both ways"

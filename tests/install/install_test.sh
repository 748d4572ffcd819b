#!/usr/bin/env bash
# install_test.sh BUILD_DIR SOURCE_DIR CXX
#
# Installs the runtime from BUILD_DIR into a temporary prefix and checks that exactly the public
# headers came along. Then builds demo.cpp outside the source tree two ways, with CMake
# (find_package(VoxaRuntime)) and with `pkg-config --cflags --libs --static voxaruntime`, and runs
# both under a private X server: each must print "cells 7 RED 255 0" and end with status 0.
set -euo pipefail
build=$1 source=$2 cxx=$3
work=$(mktemp -d /tmp/voxa-install-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix project=$work/project
fail() { echo "install_test: $*" >&2; exit 1; }
quiet() { "$@" > "$work/log" 2>&1 || { cat "$work/log"; fail "failed: $*"; }; }

quiet cmake --install "$build" --prefix "$prefix"
# The installed headers are the public ones, all of them and nothing else, anywhere in the prefix.
diff -u <(cd "$source/runtime/include" && find voxa -name '*.h' | sort) \
        <(cd "$prefix" && find . -name '*.h' | sed 's|^\./include/||' | sort) ||
  fail "installed headers differ from runtime/include/voxa"

mkdir -p "$project"
cp "$source/tests/install/demo.cpp" "$project/"
cat > "$project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(demo LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(VoxaRuntime 1.0 REQUIRED)
add_executable(demo demo.cpp)
target_link_libraries(demo PRIVATE VoxaRuntime::voxaruntime)
CMAKE
quiet cmake -S "$project" -B "$project/build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix"
quiet cmake --build "$project/build"
flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs --static voxaruntime) ||
  fail "pkg-config does not know voxaruntime"
quiet "$cxx" -std=c++17 -o "$project/demo-pkgconfig" "$project/demo.cpp" $flags

for program in "$project/build/demo" "$project/demo-pkgconfig"; do
  output=$(SDL_AUDIODRIVER=dummy "$source/scripts/with-xvfb" "$program" | grep -v '^ext:') || fail "$program ended with status $?"
  [ "$output" = "cells 7 RED 255 0" ] || fail "$program printed \"$output\""
done
echo "install_test: the installed runtime builds and runs a program both ways"

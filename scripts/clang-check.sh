#!/bin/sh
# Compiles every C++ source of the project with clang for the windows-gnu target (syntax and
# warnings only, as errors): a second compiler beside MinGW's GCC, stricter in places, before the
# code meets MSVC.
#
#   scripts/clang-check.sh
#
# Exits 77 (skipped) when clang or the MinGW-w64 headers are missing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
gcc_dir=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix 2>/dev/null | tail -n 1)
if ! command -v clang++ >/dev/null 2>&1 || [ -z "$gcc_dir" ]; then
    echo "clang++ or the MinGW-w64 headers are missing: check skipped"
    exit 77
fi
cd "$root"
# The header that the build writes from VERSION, written here the same way.
generated=$(mktemp -d)
trap 'rm -rf "$generated"' EXIT
IFS=. read -r major minor patch tweak <VERSION
sed -e "s/@PROJECT_VERSION_MAJOR@/$major/g" -e "s/@PROJECT_VERSION_MINOR@/$minor/g" \
    -e "s/@PROJECT_VERSION_PATCH@/$patch/g" -e "s/@PROJECT_VERSION_TWEAK@/$tweak/g" \
    -e "s/@PROJECT_VERSION@/$major.$minor.$patch.$tweak/g" res/version.h.in >"$generated/version.h"
# The native build's own files are POSIX code: its host compiler checks them.
git ls-files '*.cpp' | grep -v -e '^tests/fuzz/' -e '^tests/native/' -e '^harvest/native/[A-Z]' \
    -e 'ConsolePosix' \
    -e 'native_find_bench' |
    xargs -P "$(nproc)" -n 4 clang++ --target=x86_64-w64-windows-gnu -std=c++20 -fsyntax-only \
        -Wall -Wextra -Werror -DUNICODE -D_UNICODE -DNOMINMAX -DWIN32_LEAN_AND_MEAN \
        -D_WIN32_WINNT=0x0A00 -DORVANEL_SOURCE_DIR="\"Z:$root\"" -I"$root" -I"$generated" -isystem /usr/src/googletest/googletest/include -isystem "$root/third_party/sqlite" \
        -isystem "$gcc_dir/include/c++" -isystem "$gcc_dir/include/c++/x86_64-w64-mingw32" \
        -isystem /usr/x86_64-w64-mingw32/include
# The native build's sources, for the host.
git ls-files 'harvest/*.cpp' 'rows/*.cpp' 'store/*.cpp' 'cli/*.cpp' 'bench/native_find_bench.cpp' \
    'tests/native/*.cpp' |
    grep -v -e '/win32/' -e 'ConsoleWin32' -e 'MainWin32' -e 'make_system_texts' |
    xargs -P "$(nproc)" -n 4 clang++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I"$root" \
        -I"$generated"
echo "clang (windows-gnu and native): every source compiles without a warning"

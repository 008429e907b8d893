#!/bin/sh
# Builds three fuzzers natively with clang and runs each for SECONDS (default 30): the decoder,
# seeded with the message tables of Wine's own modules and of the fixture modules; the native
# build's module reader, seeded with whole modules (the fixtures and Wine's smaller DLLs); and
# the renderer of inserts, seeded with templates.
#
#   tests/fuzz/run.sh BUILD_DIR [SECONDS]
#
# Exits 77 (skipped) when clang cannot build a fuzzer here.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
seconds=${2:-30}
out=$build/fuzz
mkdir -p "$out"
if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ is not installed: fuzzing skipped"
    exit 77
fi
if ! clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" "$root/harvest/MessageTable.cpp" "$root/tests/fuzz/message_table_fuzz.cpp" \
    -o "$out/message_table_fuzz" ||
    ! clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
        -I"$root" "$root/harvest/MessageTable.cpp" "$root/harvest/pe/PeReader.cpp" "$root/harvest/pe/UpperCase.cpp" \
        "$root/tests/fuzz/pe_reader_fuzz.cpp" -o "$out/pe_reader_fuzz" ||
    ! clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
        -I"$root" "$root/harvest/Render.cpp" "$root/harvest/native/PosixPlatform.cpp" \
        "$root/harvest/Unicode.cpp" "$root/harvest/pe/PeReader.cpp" "$root/harvest/pe/UpperCase.cpp" \
        "$root/tests/fuzz/render_fuzz.cpp" -o "$out/render_fuzz"; then
    echo "clang++ cannot build a fuzzer here (is clang's runtime installed?): fuzzing skipped"
    exit 77
fi
/usr/bin/python3 "$root/tests/fuzz/seed_corpus.py" "$out/seeds" \
    /usr/lib/x86_64-linux-gnu/wine/x86_64-windows "$build/tests/fixtures"
mkdir -p "$out/corpus" "$out/modules" "$out/module-corpus"
cp "$build"/tests/fixtures/*.dll "$root"/tests/fuzz/regressions/* "$out/modules/"
find /usr/lib/x86_64-linux-gnu/wine/x86_64-windows -name '*.dll' -size -64k \
    -exec cp {} "$out/modules/" \; 2>/dev/null || true
cd "$out"
./message_table_fuzz -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    corpus seeds
./pe_reader_fuzz -max_total_time="$seconds" -max_len=262144 -print_final_stats=1 \
    module-corpus modules
# The renderer, seeded with templates of every kind of insert and escape.
mkdir -p render-corpus render-seeds
i=0
for template in '%1 is not %2.' '%1!d! of %2!*x!%n%0' '%3!-12.3ls! %1!#p!%%%!' 'a%tb%rc% d%'; do
    printf '\000' >"render-seeds/$i"
    printf '%s\377\377x\377\3775' "$template" | iconv -f ISO-8859-1 -t UTF-16LE \
        >>"render-seeds/$i" 2>/dev/null || true
    i=$((i + 1))
done
./render_fuzz -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    render-corpus render-seeds

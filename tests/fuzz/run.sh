#!/bin/sh
# Builds two fuzzers natively with clang and runs each for SECONDS (default 30): the decoder,
# seeded with the message tables of Wine's own modules and of the fixture modules, and the native
# build's module reader, seeded with whole modules (the fixtures and Wine's smaller DLLs).
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
        "$root/tests/fuzz/pe_reader_fuzz.cpp" -o "$out/pe_reader_fuzz"; then
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

#!/usr/bin/env bash
# Fuzzes the identifier and command-line readers with libFuzzer for a bounded
# time each (default 60 s): bash scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/install-deps.sh
out=build/fuzz
mkdir -p "$out"
flags=(-std=c++17 -g -O1 -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
clang++ "${flags[@]}" tests/fuzz/RevisionFuzz.cpp update/Identifier.cpp -o "$out/revision_fuzz"
clang++ "${flags[@]}" tests/fuzz/CommandLineFuzz.cpp app/StartupGuards.cpp app/WorkFolder.cpp \
    update/FlashCommand.cpp update/Identifier.cpp platform/framework/CWinApp.cpp \
    platform/Platform.cpp -o "$out/commandline_fuzz"
for target in revision_fuzz commandline_fuzz; do
    mkdir -p "$out/$target.corpus"
    echo "== $target for ${seconds}s"
    "$out/$target" -max_total_time="$seconds" -max_len=512 "$out/$target.corpus" 2>&1 | tail -3
done

#!/usr/bin/env bash
# Runs a copy of a Windows program from a folder whose path is longer than
# 600 characters, under tests/wine/wine-run.sh, and removes the copy after.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$1
shift
deep=$(dirname "$program")/long-path
rm -rf "$deep"
folder=$deep
while [ ${#folder} -lt 600 ]; do
    folder=$folder/$(printf 'd%.0s' $(seq 60))
done
mkdir -p "$folder"
cp "$program" "$folder/"
trap 'rm -rf "$deep"' EXIT
"$here/../wine/wine-run.sh" "$folder/$(basename "$program")" "$@"

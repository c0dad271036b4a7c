#!/usr/bin/env bash
# Checks that every C and C++ file of the tree is formatted as .clang-format says, and names each
# one that is not with the change it needs. Usage: scripts/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."
patterns=('*.c' '*.cpp' '*.h' '*.inc')
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- "${patterns[@]}")
else
    mapfile -t files < <(find . -path './build*' -prune -o -path './.git' -prune -o \
        \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.inc' \) -type f -print)
fi
clang-format --dry-run --Werror "${files[@]}"
echo "${#files[@]} files formatted"

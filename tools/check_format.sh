#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted as the committed .clang-format says.
# Usage: tools/check_format.sh   (needs clang-format; scripts/setup installs it in CI)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' \
  'bench/*.h' 'tools/*.cpp' 'tools/*.h')
clang-format --dry-run --Werror "${files[@]}"
echo "check_format: ${#files[@]} files formatted"

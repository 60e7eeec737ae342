#!/usr/bin/env bash
# Fails when the engine's bench signature differs from the one the newest commit states.
# A commit that should not change play says "bench: N" in its message; this compares N with the
# "Nodes searched" of `melvok bench` (default depth, one thread, no settings).
# Usage: tools/check_bench.sh path/to/melvok
set -euo pipefail
engine="${1:?usage: check_bench.sh path/to/melvok}"
cd "$(dirname "${BASH_SOURCE[0]}")/.."
stated=$(git log --format=%B -n 500 2>/dev/null | grep -o -E 'bench: [0-9]+' | head -n 1 |
  grep -o -E '[0-9]+' || true)
if [ -z "$stated" ]; then
  echo "check_bench: no commit in reach states a bench signature; nothing to compare" >&2
  exit 0
fi
measured=$("$engine" bench | sed -n 's/^Nodes searched: *\([0-9]*\).*/\1/p')
if [ "$measured" != "$stated" ]; then
  echo "check_bench: melvok bench gives $measured nodes, the newest commit states bench: $stated" >&2
  exit 1
fi
echo "check_bench: bench $measured as stated"

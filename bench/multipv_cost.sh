#!/usr/bin/env bash
# What several lines cost: the time to reach a fixed depth on the bench positions (one thread,
# fresh 64 MB table per position) with MultiPV 1, 3 and 5, interleaved round by round so that
# the load of a shared machine hits every setting alike. Prints each round's totals, then the
# medians and their ratios to one line.
#
# usage: bench/multipv_cost.sh path/to/melvok [depth] [rounds] [lines...]
set -euo pipefail

melvok=${1:?usage: multipv_cost.sh path/to/melvok [depth] [rounds] [lines...]}
depth=${2:-9}
rounds=${3:-5}
shift $(($# < 3 ? $# : 3))
lines=("$@")
[ ${#lines[@]} -gt 0 ] || lines=(1 3 5)

declare -A times nodes
printf '%-6s' round
for k in "${lines[@]}"; do printf '%16s' "multipv $k (ms)"; done
echo
for round in $(seq "$rounds"); do
  printf '%-6s' "$round"
  for k in "${lines[@]}"; do
    out=$("$melvok" bench "$depth" "$k")
    ms=$(awk '/ time +[0-9]+ ms/ { for (i = 1; i < NF; i++) if ($i == "time") t += $(i + 1) } END { print t }' <<<"$out")
    nodes[$k]=$(awk '/^Nodes searched:/ { print $3 }' <<<"$out")
    times[$k]+="$ms "
    printf '%16s' "$ms"
  done
  echo
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
base=$(median <<<"${times[${lines[0]}]}")
echo "depth $depth, $rounds rounds: median time to depth, nodes, and time against multipv ${lines[0]}"
for k in "${lines[@]}"; do
  m=$(median <<<"${times[$k]}")
  awk -v k="$k" -v m="$m" -v n="${nodes[$k]}" -v b="$base" \
    'BEGIN { printf "multipv %-3s %8.0f ms %12s nodes  x%.2f\n", k, m, n, m / b }'
done

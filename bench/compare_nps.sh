#!/usr/bin/env bash
# Single-thread search speed beside established engines, in the same minutes on the same machine:
# every engine searches Kiwipete for a few seconds with one thread and a 64 MB table, round after
# round, and the last reported nodes per second is printed. On a shared host absolute figures
# swing by a fifth within minutes; the comparison within a round is what holds.
#
# usage: bench/compare_nps.sh path/to/melvok [rounds] [seconds]
# Engines compared when installed (Debian packages): glaurung, toga2 (UCI), hoichess (xboard).
set -uo pipefail

melvok=${1:?usage: compare_nps.sh path/to/melvok [rounds] [seconds]}
rounds=${2:-5}
seconds=${3:-3}
fen="r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
ms=$((seconds * 1000))
PATH=$PATH:/usr/games

uci_nps() {
  { printf 'uci\nsetoption name Threads value 1\nsetoption name Hash value 64\nisready\n'
    printf 'position fen %s\ngo movetime %d\n' "$fen" "$ms"
    sleep "$seconds.8"; printf 'quit\n'; } |
    timeout $((seconds + 5)) "$1" 2>/dev/null | grep -o ' nps [0-9]*' | tail -1 | awk '{printf "%.2f", $2 / 1e6}'
}

# xboard engines post "depth score centiseconds nodes pv"; nps is the last line's nodes / time.
xboard_nps() {
  { printf 'xboard\nprotover 2\npost\nnew\nsetboard %s\nst %d\ngo\n' "$fen" "$seconds"
    sleep "$seconds.8"; printf 'quit\n'; } |
    timeout $((seconds + 5)) "$1" -x 2>/dev/null |
    awk '$1 ~ /^[0-9]+$/ && NF > 4 && $3 > 0 {t = $3; n = $4} END {if (t) printf "%.2f", n / (t * 10) / 1000}'
}

engines=(melvok)
for e in glaurung toga2 hoichess; do command -v "$e" >/dev/null && engines+=("$e"); done
printf '%-10s' round "${engines[@]}"; echo '  (M nodes/s)'
for round in $(seq "$rounds"); do
  printf '%-10s' "$round"
  for e in "${engines[@]}"; do
    case $e in
      melvok) nps=$(uci_nps "$melvok") ;;
      hoichess) nps=$(xboard_nps hoichess) ;;
      *) nps=$(uci_nps "$e") ;;
    esac
    printf '%-10s' "${nps:--}"
  done
  echo
done

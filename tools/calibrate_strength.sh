#!/usr/bin/env bash
# Measures melvok's strength levels against an engine whose own levels are rated: at each level
# X, melvok with UCI_LimitStrength and UCI_Elo X plays the other engine (Debian's stockfish by
# default) with UCI_LimitStrength and UCI_Elo X, and the table shows melvok's score. A level is
# calibrated when it scores near half; above half it plays stronger than its number says.
#
# usage: tools/calibrate_strength.sh MELVOK [LEVEL...]      (levels default: 1400 1700 2000 2300 2600)
#
# The match runner is fastchess; the environment names what the script cannot know:
#   FASTCHESS  the fastchess program (default: fastchess on the PATH)
#   OPPONENT   the rated engine (default: /usr/games/stockfish)
#   GAMES      games a level, in pairs with colours swapped (default 100)
#   TC         time control as fastchess writes it (default 5+0.05)
#   CONC       games at a time (default 1: one engine thread each, one game per core)
#   OPENINGS   a PGN (cut after PLIES plies, default 8) or EPD of starting positions
#              (default: the master games in tests/data)
#   SEED       the order of the openings (default 1)
#   OUT        folder for each level's games and log (default: a new folder under /tmp)
set -u
here=$(cd "$(dirname "$0")" && pwd)
melvok=${1:?usage: calibrate_strength.sh MELVOK [LEVEL...]}
shift
levels=("$@")
[ ${#levels[@]} -eq 0 ] && levels=(1400 1700 2000 2300 2600)

fastchess=${FASTCHESS:-$(command -v fastchess || true)}
opponent=${OPPONENT:-/usr/games/stockfish}
games=${GAMES:-100}
tc=${TC:-5+0.05}
conc=${CONC:-1}
book=${OPENINGS:-$here/../tests/data/master-games.pgn}
seed=${SEED:-1}
out=${OUT:-$(mktemp -d /tmp/calibrate.XXXX)}
mkdir -p "$out" && out=$(realpath "$out")

fail() { echo "calibrate_strength: $*" >&2; exit 2; }
[ -n "$fastchess" ] && [ -x "$fastchess" ] || fail "no fastchess (set FASTCHESS to its path)"
[ -x "$melvok" ] || fail "no program at $melvok"
[ -x "$opponent" ] || fail "no program at $opponent (set OPPONENT)"
[ -r "$book" ] || fail "cannot read the openings $book (set OPENINGS)"
case "$games" in '' | *[!0-9]*) fail "GAMES must be a whole number, not $games" ;; esac
[ "$games" -ge 2 ] || fail "GAMES must be 2 or more"

# Both engines must offer the two options, and each level must lie in both scales.
range() {  # the min and max of UCI_Elo in an engine's option listing
  printf 'uci\nquit\n' | timeout 10 "$1" 2>/dev/null | tr -d '\r' |
    awk '/^option name UCI_Elo /{for(i=1;i<=NF;i++){if($i=="min")lo=$(i+1);if($i=="max")hi=$(i+1)}}
         /^option name UCI_LimitStrength /{limit=1}
         END{if(limit&&lo!=""&&hi!="")print lo, hi}'
}
read -r mlo mhi <<<"$(range "$melvok")"
[ -n "${mlo:-}" ] || fail "$melvok offers no UCI_LimitStrength and UCI_Elo options"
read -r olo ohi <<<"$(range "$opponent")"
[ -n "${olo:-}" ] || fail "$opponent offers no UCI_LimitStrength and UCI_Elo options"
for level in "${levels[@]}"; do
  case "$level" in '' | *[!0-9]*) fail "a level is a whole number, not $level" ;; esac
  if [ "$level" -lt "$mlo" ] || [ "$level" -gt "$mhi" ] || [ "$level" -lt "$olo" ] ||
    [ "$level" -gt "$ohi" ]; then
    fail "level $level is outside melvok's $mlo-$mhi or the opponent's $olo-$ohi"
  fi
done

# fastchess leaves its settings in config.json where it runs: it runs in each level's folder,
# so every path it is given must be absolute.
melvok=$(realpath "$melvok")
opponent=$(realpath "$opponent")
book=$(realpath "$book")
fastchess=$(realpath "$fastchess")
case "$book" in
  *.epd) openings=(-openings file="$book" format=epd order=random) ;;
  *) openings=(-openings file="$book" format=pgn order=random plies="${PLIES:-8}") ;;
esac

rows=()
for level in "${levels[@]}"; do
  dir="$out/$level"
  mkdir -p "$dir"
  (cd "$dir" && "$fastchess" \
    -engine cmd="$melvok" name="melvok-$level" \
    option.UCI_LimitStrength=true option.UCI_Elo="$level" \
    -engine cmd="$opponent" name="$(basename "$opponent")-$level" \
    option.UCI_LimitStrength=true option.UCI_Elo="$level" \
    -each tc="$tc" option.Hash=16 option.Threads=1 \
    -rounds $((games / 2)) -games 2 -repeat -concurrency "$conc" "${openings[@]}" -srand "$seed" \
    -resign movecount=4 score=900 -draw movenumber=40 movecount=8 score=10 \
    -pgnout file=games.pgn -log file=fastchess.log level=warn >result.txt 2>&1)
  # The runner's last summary, from melvok's side: "Games: N, Wins: W, Losses: L, Draws: D,
  # Points: P (S %)" and "Elo: E +/- M".
  summary=$(grep -E '^Games: ' "$dir/result.txt" | tail -1)
  elo=$(grep -E '^Elo: ' "$dir/result.txt" | tail -1 | sed -E 's/^Elo: ([^,]*),.*/\1/')
  if [ -z "$summary" ]; then
    rows+=("| $level | no result: see $dir/result.txt | | | | | |")
    continue
  fi
  read -r n w l d score <<<"$(echo "$summary" |
    sed -E 's/Games: ([0-9]+), Wins: ([0-9]+), Losses: ([0-9]+), Draws: ([0-9]+), Points: [0-9.]+ \(([0-9.]+) %\).*/\1 \2 \3 \4 \5/')"
  rows+=("| $level | $n | $w | $l | $d | $score % | $elo |")
  # Games lost by a forfeit (time, illegal move, crash), counted by the side that forfeited.
  read -r ours theirs <<<"$(grep '^Finished game' "$dir/result.txt" |
    grep -i -E 'illegal|disconnect|stall|on time|crash' | grep -E '\): (1-0|0-1) ' |
    sed -E 's/^Finished game [0-9]+ \((.*) vs (.*)\): (1-0|0-1).*/\1 \2 \3/' |
    awk '{loser = $3 == "1-0" ? $2 : $1; if (loser ~ /^melvok-/) m++; else o++}
         END {print m + 0, o + 0}')"
  if [ "$ours" -gt 0 ] || [ "$theirs" -gt 0 ]; then
    rows+=("|  | forfeits (time, illegal move, crash): melvok $ours, opponent $theirs | | | | | |")
  fi
  echo "level $level done: ${score:-?} %" >&2
done

echo "melvok $(basename "$melvok") against $(basename "$opponent"), both at UCI_Elo X, $tc, $games games a level"
echo
echo "| level X | games | melvok won | lost | drawn | melvok's score | Elo difference |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "games and logs: $out"

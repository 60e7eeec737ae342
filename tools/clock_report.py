#!/usr/bin/env python3
"""How an engine spent its clock in a match: reads the PGN a match runner wrote (move comments
such as "{+0.48/8 0.117s}", the TimeControl tag as "40/2", "2+1" or "10+0.1") and prints, for the
engine named, the average time a move, the average at moves 30 to 40 of each 40-move control,
the lowest clock it had left before a move and after one, and the games it lost on time.

    tools/clock_report.py GAMES.pgn ENGINE_NAME
"""
import re
import sys

TAG = re.compile(r'^\[(\w+) "(.*)"\]')
MOVE_TIME = re.compile(r'\{[^}]*?(\d+\.\d+)s\}')


def parse_control(text):
    """(moves per control or 0, base seconds, increment seconds)."""
    moves = 0
    if "/" in text:
        moves_text, text = text.split("/", 1)
        moves = int(moves_text)
    base, _, increment = text.partition("+")
    return moves, float(base), float(increment or 0)


def games(path):
    tags, movetext = {}, []
    with open(path, encoding="utf-8", errors="replace") as pgn:
        for line in pgn:
            match = TAG.match(line)
            if match:
                if movetext:
                    yield tags, " ".join(movetext)
                    tags, movetext = {}, []
                tags[match.group(1)] = match.group(2)
            elif line.strip():
                movetext.append(line.strip())
    if movetext:
        yield tags, " ".join(movetext)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, engine = sys.argv[1], sys.argv[2]
    all_times, late_times = [], []
    lowest_before = lowest_after = None
    time_losses = games_played = 0
    for tags, movetext in games(path):
        if engine not in (tags.get("White"), tags.get("Black")):
            continue
        games_played += 1
        white = tags.get("White") == engine
        moves, base, increment = parse_control(tags.get("TimeControl", "0+0"))
        # Every ply's comment, in order; book moves carry no time and cost nothing.
        plies = re.findall(r'\{([^}]*)\}', movetext)
        own = []
        for ply, comment in enumerate(plies):
            if (ply % 2 == 0) != white:
                continue
            found = MOVE_TIME.search("{" + comment + "}")
            own.append(float(found.group(1)) if found else 0.0)
        clock = base
        for number, spent in enumerate(own, start=1):
            lowest_before = clock if lowest_before is None else min(lowest_before, clock)
            clock -= spent
            lowest_after = clock if lowest_after is None else min(lowest_after, clock)
            clock += increment
            if moves and number % moves == 0:
                clock += base
            if spent > 0:
                all_times.append(spent)
                in_control = (number - 1) % moves + 1 if moves else number
                if 30 <= in_control <= 40:
                    late_times.append(spent)
        if "time" in tags.get("Termination", ""):
            time_losses += 1
    if not all_times:
        sys.exit("no timed moves of %s in %s" % (engine, path))
    average = sum(all_times) / len(all_times)
    print("games %d, timed moves %d, average %.3f s a move" % (games_played, len(all_times),
                                                              average))
    if late_times:
        late = sum(late_times) / len(late_times)
        print("moves 30-40 of a control: %d moves, average %.3f s (%.2f of the average)" %
              (len(late_times), late, late / average))
    print("lowest clock before a move %.3f s, after a move %.3f s" % (lowest_before,
                                                                      lowest_after))
    print("games lost on time: %d" % time_losses)


if __name__ == "__main__":
    main()

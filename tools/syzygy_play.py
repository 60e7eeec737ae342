#!/usr/bin/env python3
"""Plays melvok against stockfish from won and drawn endings, both with the same Syzygy tables.

From each won position melvok has the winning side and must mate within the 50-move rule; from
each drawn one it plays the side that could lose (both sides where the material is equal) and
must not lose. Games run one at a time, each engine a fixed time a move. Prints every game with
its result, its length in moves and the longest run of the 50-move count; exits 1 when melvok
fails anywhere. King, bishop and knight against king is played from its longest wins.

    PYTHONPATH=/path/to/python-chess python3 tools/syzygy_play.py \\
        build/melvok /usr/games/stockfish /path/to/syzygy [--movetime 0.1]

python-chess is not part of this project: give its folder on PYTHONPATH.
"""

import argparse
import sys
import time

import chess
import chess.engine
import chess.syzygy

WON = [
    ("KQK", "8/8/8/3k4/8/8/8/Q3K3 w - - 0 1"),
    ("KQK", "8/8/8/8/8/8/1k6/6KQ b - - 0 1"),  # Black to move first, queen in the corner
    ("KRK", "8/8/8/4k3/8/8/8/R3K3 w - - 0 1"),
    ("KRK", "7k/8/8/8/8/8/8/R6K b - - 0 1"),
    ("KPK, pawn on its second rank", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"),
    ("KPK, pawn on its second rank", "4k3/8/8/8/8/8/3KP3/8 b - - 0 1"),
    ("KQKR", "8/8/8/2k5/8/8/1Q6/K6r w - - 0 1"),
    ("KQKR", "3k4/8/8/8/8/8/r7/2Q1K3 w - - 0 1"),
    # The longest KBNK wins found by sampling the tables and moving one piece at a time while
    # the distance grows: 64 and 62 plies to mate.
    ("KBNK, dtz 64", "K1B5/2k5/8/8/8/8/8/N7 w - - 0 1"),
    ("KBNK, dtz 62", "K7/8/2k5/8/8/8/8/1N1B4 w - - 0 1"),
    ("KBNK, dtz 62", "K3N3/8/2k5/8/2B5/8/8/8 w - - 0 1"),
]
DRAWN = [
    ("KRKR", "8/3k4/8/8/8/8/r7/4K2R w - - 0 1", [chess.WHITE, chess.BLACK]),
    ("KBKB, opposite colours", "8/8/8/8/3k4/8/3K4/3B2b1 w - - 0 1", [chess.WHITE, chess.BLACK]),
    ("KBPK, wrong bishop", "1k6/8/8/8/8/8/P7/K1B5 b - - 0 1", [chess.BLACK]),
]


def play(melvok, stockfish, fen, melvok_side, movetime):
    """Plays one game; returns the board at its end and the longest 50-move count."""
    board = chess.Board(fen)
    longest = 0
    while not board.is_game_over(claim_draw=False) and board.halfmove_clock < 100 \
            and board.fullmove_number < 300:
        engine = melvok if board.turn == melvok_side else stockfish
        result = engine.play(board, chess.engine.Limit(time=movetime))
        board.push(result.move)
        longest = max(longest, board.halfmove_clock)
    return board, longest


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("melvok")
    parser.add_argument("stockfish")
    parser.add_argument("tables")
    parser.add_argument("--movetime", type=float, default=0.1)
    args = parser.parse_args()

    tables = chess.syzygy.open_tablebase(args.tables)
    melvok = chess.engine.SimpleEngine.popen_uci([args.melvok, "/dev/null"])
    stockfish = chess.engine.SimpleEngine.popen_uci(args.stockfish)
    melvok.configure({"SyzygyPath": args.tables, "Threads": 1})
    stockfish.configure({"SyzygyPath": args.tables, "Threads": 1})

    failures = 0
    started = time.time()
    won = WON
    for name, fen in won:
        board = chess.Board(fen)
        wdl = tables.probe_wdl(board)
        assert abs(wdl) == 2, fen
        winner = board.turn if wdl == 2 else not board.turn
        moves_before = board.fullmove_number
        end, longest = play(melvok, stockfish, fen, winner, args.movetime)
        mated = end.is_checkmate() and end.turn != winner
        length = end.fullmove_number - moves_before + (1 if end.turn == chess.WHITE else 0)
        failures += not mated
        print("%-32s %s  %s, %d moves, longest 50-move count %d plies"
              % (name, fen, "mates" if mated else "FAILS (" + end.result(claim_draw=True) + ")",
                 length, longest))
        sys.stdout.flush()
    for name, fen, sides in DRAWN:
        assert tables.probe_wdl(chess.Board(fen)) == 0, fen
        for side in sides:
            end, longest = play(melvok, stockfish, fen, side, args.movetime)
            lost = end.is_checkmate() and end.turn == side
            failures += lost
            print("%-32s %s  melvok %s: %s after %d plies (%s)"
                  % (name, fen, "White" if side == chess.WHITE else "Black",
                     "LOSES" if lost else "holds", len(end.move_stack),
                     "50-move rule" if end.halfmove_clock >= 100 else end.result(claim_draw=True)))
            sys.stdout.flush()
    melvok.quit()
    stockfish.quit()
    print("%d games, %d failures, %.0f s" % (len(won) + sum(len(d[2]) for d in DRAWN), failures,
                                               time.time() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

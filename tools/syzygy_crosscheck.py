#!/usr/bin/env python3
"""Cross-checks melvok's Syzygy answers against python-chess's own probing code.

For every table in the folder, random legal positions of its material (either colour the
stronger side, either side to move, and for tables with pawns of both colours positions where
an en-passant capture is possible) go to melvok's console as "tbprobe <fen>"; its WDL and DTZ
answers are compared with chess.syzygy's probe_wdl and probe_dtz. Prints one line per table and
the totals; exits 1 on any difference.

    PYTHONPATH=/path/to/python-chess python3 tools/syzygy_crosscheck.py \\
        build/melvok /path/to/syzygy [--per-table 2000] [--seed 1]

python-chess is not part of this project: give its folder on PYTHONPATH.
"""

import argparse
import os
import random
import re
import subprocess
import sys
import time

import chess
import chess.syzygy

ANSWER = re.compile(r"tbprobe: (?:wdl (-?\d) dtz (-?\d+)|(.*))")


def table_names(folder):
    names = set()
    for name in os.listdir(folder):
        stem, ext = os.path.splitext(name)
        if ext == ".rtbw" and os.path.exists(os.path.join(folder, stem + ".rtbz")):
            names.add(stem)
    return sorted(names, key=lambda n: (len(n), n))


def place(board, rng, colour, kind):
    """Puts a piece on a random empty square (pawns not on the first or last rank)."""
    while True:
        square = rng.randrange(64)
        if board.piece_at(square) is not None:
            continue
        if kind == chess.PAWN and chess.square_rank(square) in (0, 7):
            continue
        board.set_piece_at(square, chess.Piece(kind, colour))
        return


def random_position(name, rng, en_passant):
    """A random legal position of the table's material, or None when the try failed."""
    strong, weak = name.split("v")
    white_is_strong = rng.random() < 0.5
    sides = {chess.WHITE: strong if white_is_strong else weak,
             chess.BLACK: weak if white_is_strong else strong}
    board = chess.Board(None)
    board.turn = rng.choice([chess.WHITE, chess.BLACK])
    if en_passant:
        # The side not to move has just pushed a pawn two squares, beside a pawn of the side
        # to move: take one pawn of each off the lists and place them so.
        pusher = not board.turn
        rank = 3 if pusher == chess.WHITE else 4
        file = rng.randrange(8)
        capturer_file = file + rng.choice([-1, 1])
        if not 0 <= capturer_file < 8:
            return None
        board.set_piece_at(chess.square(file, rank), chess.Piece(chess.PAWN, pusher))
        board.set_piece_at(chess.square(capturer_file, rank), chess.Piece(chess.PAWN, board.turn))
        sides[pusher] = sides[pusher].replace("P", "", 1)
        sides[board.turn] = sides[board.turn].replace("P", "", 1)
        passed = [chess.square(file, rank - 1 if pusher == chess.WHITE else rank + 1),
                  chess.square(file, rank - 2 if pusher == chess.WHITE else rank + 2)]
        board.ep_square = passed[0]
    for colour, pieces in sides.items():
        for letter in pieces:
            place(board, rng, colour, chess.Piece.from_symbol(letter).piece_type)
    if en_passant and any(board.piece_at(sq) is not None for sq in passed):
        return None
    if not board.is_valid():
        return None
    if en_passant and not board.has_legal_en_passant():
        return None
    return board


class Melvok:
    """melvok's console in UCI mode (no prompt), answering tbprobe lines."""

    def __init__(self, binary, folder):
        self.process = subprocess.Popen([binary, os.devnull], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True, bufsize=1)
        self.send("uci")
        self.read_until("uciok")
        self.send("setoption name SyzygyPath value " + folder)
        self.send("isready")
        lines = self.read_until("readyok")
        self.loaded = next((line for line in lines if "Syzygy:" in line), "")

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def read_until(self, word):
        lines = []
        while True:
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError("melvok ended before " + word)
            lines.append(line.rstrip("\n"))
            if lines[-1] == word:
                return lines

    def probe(self, fens):
        """The (wdl, dtz) answers for the FENs, None where melvok has no answer."""
        for fen in fens:
            self.send("tbprobe " + fen)
        answers = []
        while len(answers) < len(fens):
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError("melvok ended while probing")
            match = ANSWER.search(line)
            if match:
                answers.append((int(match[1]), int(match[2])) if match[1] else None)
        return answers

    def close(self):
        self.send("quit")
        self.process.wait(timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("melvok")
    parser.add_argument("tables")
    parser.add_argument("--per-table", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    tables = chess.syzygy.open_tablebase(args.tables)
    melvok = Melvok(args.melvok, args.tables)
    print(melvok.loaded.replace("info string ", ""))
    totals = {"positions": 0, "wdl": 0, "dtz": 0, "en passant": 0}
    started = time.time()
    for name in table_names(args.tables):
        both_pawns = name.split("v")[0].count("P") and name.split("v")[1].count("P")
        boards = []
        tries = 0
        while len(boards) < args.per_table and tries < 100 * args.per_table:
            tries += 1
            board = random_position(name, rng, bool(both_pawns) and rng.random() < 0.5)
            if board is not None:
                boards.append(board)
        fens = [board.fen() for board in boards]
        answers = []
        for start in range(0, len(fens), 500):
            answers += melvok.probe(fens[start:start + 500])
        wdl_differences = dtz_differences = with_ep = 0
        for board, fen, answer in zip(boards, fens, answers):
            wdl, dtz = tables.probe_wdl(board), tables.probe_dtz(board)
            with_ep += board.has_legal_en_passant()
            if answer is None or answer[0] != wdl:
                wdl_differences += 1
                print("  WDL %s: melvok %s, python-chess %d" % (fen, answer, wdl))
            if answer is None or answer[1] != dtz:
                dtz_differences += 1
                print("  DTZ %s: melvok %s, python-chess %d" % (fen, answer, dtz))
        print("%-8s %6d positions (%5d with en passant): %d WDL and %d DTZ differences"
              % (name, len(boards), with_ep, wdl_differences, dtz_differences))
        totals["positions"] += len(boards)
        totals["wdl"] += wdl_differences
        totals["dtz"] += dtz_differences
        totals["en passant"] += with_ep
    melvok.close()
    print("total: %d positions of %d tables (%d with en passant), %d WDL and %d DTZ differences"
          " in %.0f s" % (totals["positions"], len(table_names(args.tables)), totals["en passant"],
                          totals["wdl"], totals["dtz"], time.time() - started))
    return 1 if totals["wdl"] or totals["dtz"] else 0


if __name__ == "__main__":
    sys.exit(main())

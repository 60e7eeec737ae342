#!/usr/bin/env python3
"""melvok under a real client: python-chess's UCI and XBoard engine classes drive it through
analysis with several lines stopped by the client, infinite analysis of a mate and of bare kings,
ponder hits and misses, node and time limits, Chess960 games, the chances and strength options
(UCI), and short games on a clock, and every warning the client logs about the
engine (lines it did not expect, answers out of turn) is counted. A measuring script: it needs
python-chess, which the test suite does not.

    PYTHONPATH=path/to/python-chess tools/client_check.py build/melvok [--protocol uci|xboard|both]

It prints what each step saw and ends with the number of warnings (0 is the goal).
"""
import argparse
import asyncio
import logging
import sys
import time

import chess
import chess.engine

WARNINGS = []


class Counter(logging.Handler):
    def emit(self, record):
        if record.levelno >= logging.WARNING:
            WARNINGS.append(record.getMessage())


def report(step, text):
    print(f"[{step}] {text}", flush=True)


async def analysis_with_lines(engine, protocol):
    board = chess.Board("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3")
    # python-chess's XBoard client asks for one line only (it manages MultiPV itself).
    with await engine.analysis(board, multipv=3 if protocol == "uci" else None) as analysis:
        await asyncio.sleep(1.0)
        analysis.stop()
        lines = [info async for info in analysis]
    multipvs = sorted({info.get("multipv", 1) for info in lines if "pv" in info})
    deepest = max((info.get("depth", 0) for info in lines), default=0)
    report(protocol, f"analysis stopped after 1 s: lines {multipvs}, depth {deepest}")


async def infinite_analysis(engine, protocol, fen, what):
    board = chess.Board(fen)
    started = time.monotonic()
    with await engine.analysis(board) as analysis:
        await asyncio.sleep(0.8)
        analysis.stop()
        infos = [info async for info in analysis]
        best = analysis.info.get("pv", [None])[0] if analysis.info else None
    seconds = time.monotonic() - started
    scores = [str(info["score"].white()) for info in infos if "score" in info]
    report(protocol, f"infinite analysis of {what}: ran {seconds:.1f} s until stopped, "
                     f"last score {scores[-1] if scores else '-'}, move {best}")


async def ponder_hits_and_misses(engine, protocol):
    board = chess.Board()
    limit = chess.engine.Limit(white_clock=20, black_clock=20, white_inc=0.2, black_inc=0.2)
    hits = misses = 0
    for ply in range(12):
        result = await engine.play(board, limit, ponder=True)
        board.push(result.move)
        if board.is_game_over():
            break
        reply = next(iter(board.legal_moves))
        if result.ponder and ply % 2 == 0 and result.ponder in board.legal_moves:
            reply = result.ponder
            hits += 1
        else:
            misses += 1
        board.push(reply)
        if board.is_game_over():
            break
    report(protocol, f"pondering game: {hits} ponder moves played, {misses} other replies")


async def game_on_clock(engine, protocol, base, increment, moves_to_go=None):
    board = chess.Board()
    clock = {chess.WHITE: base, chess.BLACK: base}
    lowest = base
    flagged = False
    for ply in range(160):
        if board.is_game_over(claim_draw=True):
            break
        side = board.turn
        remaining = None
        if moves_to_go:
            remaining = moves_to_go - (board.fullmove_number - 1) % moves_to_go
        limit = chess.engine.Limit(white_clock=clock[chess.WHITE], black_clock=clock[chess.BLACK],
                                   white_inc=increment, black_inc=increment,
                                   remaining_moves=remaining)
        started = time.monotonic()
        result = await engine.play(board, limit)
        clock[side] -= time.monotonic() - started
        lowest = min(lowest, clock[side])
        if clock[side] <= 0:
            flagged = True
            break
        clock[side] += increment
        if moves_to_go and remaining == 1 and side == chess.BLACK:
            clock[chess.WHITE] += base
            clock[chess.BLACK] += base
        board.push(result.move)
    control = f"{moves_to_go}/{base}" if moves_to_go else f"{base}+{increment}"
    report(protocol, f"self-play game at {control}: {board.ply()} plies, lowest clock "
                     f"{lowest:.3f} s, {'FLAG FELL' if flagged else 'no flag'}, "
                     f"{board.result(claim_draw=True)}")
    return flagged


async def limits(engine, protocol):
    board = chess.Board("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3")
    result = await engine.play(board, chess.engine.Limit(nodes=20000), info=chess.engine.INFO_ALL)
    report(protocol, f"node limit 20000: move {result.move}, nodes reported "
                     f"{result.info.get('nodes', '-')}")
    for seconds in (0.5, 0.05):
        started = time.monotonic()
        result = await engine.play(board, chess.engine.Limit(time=seconds))
        report(protocol, f"time limit {seconds} s: move {result.move} after "
                         f"{time.monotonic() - started:.3f} s")


async def chess960_game(engine, protocol):
    # Position 0 of the 960 (bishops b1 g1... queens on b) and a classic one with castling both
    # ways available soon; python-chess rejects any move text it cannot read as a legal move.
    castles = 0
    for number in (0, 518 - 1, 959):
        board = chess.Board.from_chess960_pos(number)
        for _ in range(40):
            if board.is_game_over():
                break
            result = await engine.play(board, chess.engine.Limit(time=0.05))
            castles += board.is_castling(result.move)
            board.push(result.move)
    report(protocol, f"Chess960 games: 3 games of up to 40 plies, {castles} castling moves")


async def uci_options(engine):
    await engine.configure({"UCI_ShowWDL": True})
    board = chess.Board()
    info = await engine.analyse(board, chess.engine.Limit(depth=8))
    report("uci", f"UCI_ShowWDL: wdl {info.get('wdl')} with score {info.get('score')}")
    await engine.configure({"UCI_ShowWDL": False, "UCI_LimitStrength": True, "UCI_Elo": 1200})
    moves = set()
    for _ in range(8):
        moves.add((await engine.play(board, chess.engine.Limit(time=0.2))).move.uci())
    await engine.configure({"UCI_LimitStrength": False})
    report("uci", f"UCI_Elo 1200: first moves chosen in 8 games: {sorted(moves)}")


async def check(path, protocol):
    if protocol == "uci":
        transport, engine = await chess.engine.popen_uci(path)
        await engine.configure({"Threads": 1, "Hash": 32})
    else:
        transport, engine = await chess.engine.popen_xboard(path)
    flags = 0
    try:
        await analysis_with_lines(engine, protocol)
        await infinite_analysis(engine, protocol, "7k/8/6K1/8/8/8/8/R7 w - - 0 1", "a mate in one")
        await infinite_analysis(engine, protocol, "8/8/8/4k3/8/8/8/4K3 w - - 0 1", "bare kings")
        await ponder_hits_and_misses(engine, protocol)
        await limits(engine, protocol)
        await chess960_game(engine, protocol)
        if protocol == "uci":
            await uci_options(engine)
        flags += await game_on_clock(engine, protocol, 2.0, 0.0, moves_to_go=40)
        flags += await game_on_clock(engine, protocol, 3.0, 0.05)
    finally:
        await engine.quit()
    return flags


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("engine")
    parser.add_argument("--protocol", choices=["uci", "xboard", "both"], default="both")
    args = parser.parse_args()
    logging.getLogger("chess.engine").addHandler(Counter())
    logging.getLogger("chess.engine").setLevel(logging.WARNING)
    protocols = ["uci", "xboard"] if args.protocol == "both" else [args.protocol]
    flags = 0
    for protocol in protocols:
        flags += asyncio.run(check(args.engine, protocol))
    for warning in WARNINGS:
        print("WARNING:", warning)
    print(f"protocol warnings logged: {len(WARNINGS)}; flags fallen: {flags}")
    sys.exit(1 if WARNINGS or flags else 0)


if __name__ == "__main__":
    main()

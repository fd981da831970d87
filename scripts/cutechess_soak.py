#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Soak test through cutechess-cli: matches of Tarvok against itself and
against Debian engines (glaurung and toga2 over UCI, phalanx and fairymax
over XBoard), with Tarvok speaking UCI or XBoard, pondering on or off, at
several time controls, two games at a time. Every combination gets its own
cutechess log and PGN in the result folder; scripts/soak_report.py writes
report.txt: games, Tarvok's wins/draws/losses, illegal moves, illegal PV or
ponder moves, disconnects, stalls and Tarvok's time forfeits.

    cutechess_soak.py [--cutechess PATH] [--engine PATH] [options]
    cutechess_soak.py --report DIR      report of an earlier run only

Without cutechess-cli (no --cutechess and none on PATH) it says so and
exits 0. Exit status otherwise: 0 when the run meets the limits (no illegal
move, illegal PV or ponder move, disconnect, stall or unfinished game; no
time forfeit by Tarvok at 10+0.1 or slower, at most 1 % at faster ones),
1 when it does not, 2 on a usage or set-up error.
"""

import argparse
import os
import shutil
import subprocess
import sys

SCRIPT_DIR = os.path.dirname(os.path.abspath(__file__))
REPO_DIR = os.path.dirname(SCRIPT_DIR)
sys.path.insert(0, SCRIPT_DIR)
from soak_report import combo_name, seconds_per_game, write_report  # noqa: E402

TARVOK = "Tarvok"
TARVOK_SELF = "Tarvok-2"  # the second Tarvok in self-play
OPPONENTS = ("self", "glaurung", "toga2", "phalanx", "fairymax")
TIME_CONTROLS = ("40/20", "10+0.1", "2+0.02", "st=1", "depth=6")
QUICK_TIME_CONTROLS = ("2+0.02", "st=1", "depth=4")

def opponent_engine(name, protocol, engine):
    """cutechess -engine options of an opponent, or None when missing."""
    if name == "self":
        return [f"name={TARVOK_SELF}", f"cmd={engine}", f"proto={protocol}"]
    paths = {"glaurung": "/usr/games/glaurung", "toga2": "/usr/games/toga2",
             "phalanx": "/usr/games/phalanx", "fairymax": "/usr/games/fairymax"}
    if not os.access(paths[name], os.X_OK):
        return None
    if name == "glaurung":
        return ["name=glaurung", f"cmd={paths[name]}", "proto=uci", "option.Threads=1"]
    if name == "toga2":
        return ["name=toga2", f"cmd={paths[name]}", "proto=uci"]
    if name == "phalanx":
        return ["name=phalanx", f"cmd={paths[name]}", "proto=xboard"]
    # Fairy-Max 5.0b often crashes after "computer", which it does not need.
    return ["name=fairymax", "cmd=/bin/sh", "arg=-c",
            f"arg=grep --line-buffered -vx computer | exec {paths[name]}", "proto=xboard"]


def time_control_options(tc, st_margin_ms):
    if tc.startswith("st="):
        return [tc, f"timemargin={st_margin_ms}"]
    if tc.startswith("depth="):
        return ["tc=inf", tc]
    return [f"tc={tc}"]


def split_list(text, allowed=None):
    items = [item for item in text.split(",") if item]
    for item in items:
        if allowed and item not in allowed:
            raise SystemExit(f"cutechess_soak.py: unknown value '{item}' (allowed: {', '.join(allowed)})")
    return items


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cutechess", help="cutechess-cli binary (default: on PATH)")
    parser.add_argument("--engine", default=os.path.join(REPO_DIR, "build", "tarvok"), help="Tarvok binary")
    parser.add_argument("--out", help="result folder (default /tmp/tarvok-cutechess-<pid>)")
    parser.add_argument("--openings", default=os.path.join(SCRIPT_DIR, "soak_openings.epd"),
                        help="EPD opening file (default: the small set beside this script)")
    parser.add_argument("--protocols", default="uci,xboard", help="Tarvok's protocols (uci,xboard)")
    parser.add_argument("--opponents", default=",".join(OPPONENTS), help="of " + ",".join(OPPONENTS))
    parser.add_argument("--ponder", default="off,on", help="off,on")
    parser.add_argument("--tcs", default=",".join(TIME_CONTROLS),
                        help="time controls: moves/seconds, seconds+increment, st=SECONDS, depth=PLIES")
    parser.add_argument("--games", type=int, default=4, help="games per combination (default 4)")
    parser.add_argument("--quick", action="store_true",
                        help="smoke plan: 2 games per combination at " + ", ".join(QUICK_TIME_CONTROLS))
    parser.add_argument("--concurrency", type=int, default=2)
    parser.add_argument("--st-margin", type=int, default=100, help="ms allowed beyond st=N (default 100)")
    parser.add_argument("--adjudicate", action="store_true",
                        help="end clearly decided games early as testers do: resign at 10 pawns for 4 moves, "
                             "draw from move 60 after 8 moves within 0.05 pawns")
    parser.add_argument("--dry-run", action="store_true", help="print the plan and the commands only")
    parser.add_argument("--report", metavar="DIR", help="only report on an earlier result folder")
    args = parser.parse_args()

    if args.report:
        return 0 if write_report(args.report) else 1

    if args.cutechess and not os.access(args.cutechess, os.X_OK):
        print(f"cutechess_soak.py: '{args.cutechess}' is not an executable cutechess-cli")
        return 2
    cutechess = args.cutechess or shutil.which("cutechess-cli")
    if not cutechess:
        print("cutechess_soak.py: cutechess-cli not found (give --cutechess PATH); skipped")
        return 0
    cutechess = os.path.abspath(cutechess)
    check = subprocess.run([cutechess, "-version"], capture_output=True, text=True)
    if check.returncode != 0:
        print("cutechess_soak.py: cutechess-cli does not start:", (check.stderr or check.stdout).strip())
        if "libQt5Core" in check.stderr:
            print("  it needs Qt 5: apt-get install libqt5core5a")
        return 2
    engine = os.path.abspath(args.engine)
    if not os.access(engine, os.X_OK):
        print(f"cutechess_soak.py: engine '{engine}' not found; build it first")
        return 2

    protocols = split_list(args.protocols, ("uci", "xboard"))
    opponents = split_list(args.opponents, OPPONENTS)
    ponders = split_list(args.ponder, ("off", "on"))
    tcs = split_list(args.tcs)
    games = args.games
    # cutechess-cli sends XBoard engines "st" in whole seconds ("st 0" for
    # st=0.2), so fractions would test something else than asked.
    for tc in tcs:
        if tc.startswith("st=") and not tc[3:].isdigit():
            raise SystemExit(f"cutechess_soak.py: {tc}: st takes whole seconds")
    if args.quick:
        tcs, games = list(QUICK_TIME_CONTROLS), 2
    if games < 1:
        raise SystemExit("cutechess_soak.py: --games must be at least 1")

    out_dir = os.path.abspath(args.out or f"/tmp/tarvok-cutechess-{os.getpid()}")
    os.makedirs(out_dir, exist_ok=True)
    plan = []
    for protocol in protocols:
        for opponent in opponents:
            if opponent_engine(opponent, protocol, engine) is None:
                print(f"skipping {opponent}: not installed")
                continue
            # phalanx answers "sd" with "Illegal move" and forfeits: no depth games for it.
            plan.extend((protocol, opponent, ponder, tc) for ponder in ponders for tc in tcs
                        if not (opponent == "phalanx" and tc.startswith("depth=")))
    with open(os.path.join(out_dir, "plan.txt"), "w", encoding="utf-8") as f:
        f.writelines(" ".join(combo) + "\n" for combo in plan)
    print(f"{len(plan)} combinations x {games} games = {len(plan) * games} games; results in {out_dir}")

    for protocol, opponent, ponder, tc in plan:
        name = combo_name(protocol, opponent, ponder, tc)
        work = os.path.join(out_dir, "work", name)
        os.makedirs(work, exist_ok=True)
        command = [cutechess, "-engine", f"name={TARVOK}", f"cmd={engine}", f"proto={protocol}", f"dir={work}",
                   "-engine"] + opponent_engine(opponent, protocol, engine) + ["-each"]
        command += time_control_options(tc, args.st_margin) + (["ponder"] if ponder == "on" else [])
        command += ["-games", "2", "-rounds", str((games + 1) // 2), "-repeat"] if games > 1 else ["-games", "1"]
        command += ["-concurrency", str(args.concurrency), "-recover", "-pgnout", os.path.join(out_dir, name + ".pgn")]
        if args.adjudicate:
            command += ["-resign", "movecount=4", "score=1000", "-draw", "movenumber=60", "movecount=8", "score=5"]
        if os.path.exists(args.openings):
            command += ["-openings", f"file={os.path.abspath(args.openings)}", "format=epd", "order=random"]
        if args.dry_run:
            print(" ".join(command))
            continue
        # A match that outlives three times its expected length has stalled.
        limit = 3 * seconds_per_game(tc) * games / max(1, args.concurrency) + 120
        print(f"{name}: {games} games", flush=True)
        with open(os.path.join(out_dir, name + ".log"), "w", encoding="utf-8") as log:
            process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, cwd=work)
            try:
                process.wait(timeout=limit)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                log.write(f"cutechess_soak.py: match killed after {limit:.0f} s\n")
    if args.dry_run:
        return 0
    return 0 if write_report(out_dir) else 1


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Soak test through cutechess-cli: matches of Tarvok against itself and
against Debian engines (glaurung and toga2 over UCI, phalanx and fairymax
over XBoard), with Tarvok speaking UCI or XBoard, pondering on or off, at
several time controls, two games at a time. Every combination gets its own
cutechess log and PGN in the result folder; report.txt tabulates games,
Tarvok's wins/draws/losses, illegal moves, illegal PV or ponder moves,
disconnects, stalls and Tarvok's time forfeits.

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
import re
import shutil
import subprocess
import sys

SCRIPT_DIR = os.path.dirname(os.path.abspath(__file__))
REPO_DIR = os.path.dirname(SCRIPT_DIR)

TARVOK = "Tarvok"
TARVOK_SELF = "Tarvok-2"  # the second Tarvok in self-play
OPPONENTS = ("self", "glaurung", "toga2", "phalanx", "fairymax")
TIME_CONTROLS = ("40/20", "10+0.1", "2+0.02", "st=1", "depth=6")
QUICK_TIME_CONTROLS = ("2+0.02", "st=1", "depth=4")
# Time controls at which a single time forfeit is a failure; faster ones
# may lose up to FAST_FORFEIT_SHARE of their games on time.
FAST_FORFEIT_SHARE = 0.01

FINISHED = re.compile(r"^Finished game (\d+) \((.+) vs (.+)\): (\S+) \{(.*)\}\s*$")
STARTED = re.compile(r"^Started game (\d+) of \d+ \((.+) vs (.+)\)\s*$")
# cutechess's warnings (stderr); fastchess words the first differently.
ILLEGAL_LINE = (
    re.compile(r"Illegal PV move (?:- move )?\S+ from (\S+)"),
    re.compile(r"Illegal ponder move from ([^:\s]+):"),
    re.compile(r"Premature bestmove while pondering from (\S+)"),
)


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


def seconds_per_game(tc):
    """A rough wall-clock figure for one game, for the run's time-out."""
    if tc.startswith("st="):
        return 2 * 80 * float(tc[3:])
    if tc.startswith("depth="):
        return 60
    moves, _, rest = tc.rpartition("/")
    base, _, inc = rest.partition("+")
    per_side = float(base) * (80 / float(moves) if moves else 1) + 80 * float(inc or 0)
    return 2 * per_side


def combo_name(protocol, opponent, ponder, tc):
    safe_tc = tc.replace("/", "_").replace("=", "").replace("+", "p")
    return f"{protocol}-{opponent}-ponder{ponder}-{safe_tc}"


def empty_counts():
    return {"games": 0, "wins": 0, "draws": 0, "losses": 0, "illegal": 0, "illegal_pv": 0,
            "disconnects": 0, "stalls": 0, "forfeits": 0, "unfinished": 0, "pgn_games": 0}


def parse_log(text, counts):
    """Adds what one cutechess log says to counts."""
    tarvoks = (TARVOK, TARVOK_SELF)
    started, finished = set(), set()
    for line in text.splitlines():
        match = STARTED.match(line)
        if match:
            started.add(match.group(1))
            continue
        for pattern in ILLEGAL_LINE:
            warning = pattern.search(line)
            if warning and warning.group(1) in tarvoks:
                counts["illegal_pv"] += 1
        match = FINISHED.match(line)
        if not match:
            continue
        number, white, black, result, reason = match.groups()
        finished.add(number)
        counts["games"] += 1
        tarvok_white = white == TARVOK
        if result == "1/2-1/2":
            counts["draws"] += 1
        elif result in ("1-0", "0-1"):
            won = (result == "1-0") == tarvok_white
            counts["wins" if won else "losses"] += 1
        # The side at fault loses: "Black makes an illegal move", "White's
        # connection stalls", "White wins by adjudication: black claims
        # illegal move: sd 6" (an opponent that rejects a command). Time
        # losses are read from the PGN, which also names the side of a
        # "Draw by timeout".
        culprit = black if result == "1-0" else white if result == "0-1" else None
        # "Draw by disconnection" names no side: counted, to be looked at.
        if culprit is None and "disconnect" in reason:
            counts["disconnects"] += 1
        if culprit not in tarvoks:
            continue
        if "illegal move" in reason:
            counts["illegal"] += 1
        elif "disconnects" in reason:
            counts["disconnects"] += 1
        elif "stalls" in reason:
            counts["stalls"] += 1
    counts["unfinished"] += len(started - finished)


def parse_pgn(text, counts):
    """Counts the PGN's finished games and Tarvok's time forfeits: the side to
    move at the end of a "time forfeit" game is the one whose flag fell."""
    for game in re.split(r"^(?=\[Event )", text, flags=re.M):
        tags = dict(re.findall(r'^\[(\w+) "(.*)"\]\s*$', game, re.M))
        if tags.get("Result") not in ("1-0", "0-1", "1/2-1/2"):
            continue
        counts["pgn_games"] += 1
        if tags.get("Termination") != "time forfeit":
            continue
        fen_side = tags.get("FEN", "x w").split()[1]
        white_to_move = (fen_side == "w") == (int(tags.get("PlyCount", "0")) % 2 == 0)
        if tags.get("White" if white_to_move else "Black") in (TARVOK, TARVOK_SELF):
            counts["forfeits"] += 1


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def combo_counts(out_dir, name):
    counts = empty_counts()
    parse_log(read(os.path.join(out_dir, name + ".log")), counts)
    parse_pgn(read(os.path.join(out_dir, name + ".pgn")), counts)
    return counts


def is_fast(tc):
    """2+0.02 and the like: faster than 10 s + 0.1 s a move."""
    if tc.startswith(("st=", "depth=")):
        return False
    return seconds_per_game(tc) < seconds_per_game("10+0.1")


def failures(rows):
    """Texts of the limits a run breaks (rows: (combo fields, counts))."""
    found = []
    fast_games = fast_forfeits = 0
    for (protocol, opponent, ponder, tc), c in rows:
        where = f"{protocol} {opponent} ponder {ponder} {tc}"
        for key in ("illegal", "illegal_pv", "disconnects", "stalls", "unfinished"):
            if c[key]:
                found.append(f"{where}: {c[key]} {key}")
        if is_fast(tc):
            fast_games += c["games"]
            fast_forfeits += c["forfeits"]
        elif c["forfeits"]:
            found.append(f"{where}: {c['forfeits']} time forfeits by Tarvok in {c['games']} games")
    # At fast controls the share is taken over all their games together.
    if fast_forfeits > int(fast_games * FAST_FORFEIT_SHARE):
        found.append(f"fast controls: {fast_forfeits} time forfeits by Tarvok in {fast_games} games")
    return found


COLUMNS = (("games", "games"), ("wins", "W"), ("draws", "D"), ("losses", "L"), ("illegal", "illegal"),
           ("illegal_pv", "bad PV/ponder"), ("disconnects", "disconn."), ("stalls", "stalls"),
           ("forfeits", "time losses"), ("unfinished", "unfinished"), ("pgn_games", "PGN games"))


def report_text(rows):
    header = ["protocol", "opponent", "ponder", "tc"] + [title for _, title in COLUMNS]
    table = [header]
    total = empty_counts()
    for combo, counts in rows:
        table.append(list(combo) + [str(counts[key]) for key, _ in COLUMNS])
        for key in total:
            total[key] += counts[key]
    table.append(["all", "", "", ""] + [str(total[key]) for key, _ in COLUMNS])
    widths = [max(len(row[i]) for row in table) for i in range(len(header))]
    lines = ["| " + " | ".join(cell.ljust(w) for cell, w in zip(row, widths)) + " |" for row in table]
    lines.insert(1, "|" + "|".join("-" * (w + 2) for w in widths) + "|")
    problems = failures(rows)
    lines.append("")
    lines.append("Limits met." if not problems else "Limits not met:")
    lines.extend("  " + text for text in problems)
    return "\n".join(lines) + "\n", not problems


def read_plan(out_dir):
    """The combinations of a run, from its plan.txt."""
    rows = []
    for line in read(os.path.join(out_dir, "plan.txt")).splitlines():
        fields = line.split()
        if len(fields) == 4:
            rows.append(tuple(fields))
    return rows


def write_report(out_dir):
    rows = [(combo, combo_counts(out_dir, combo_name(*combo))) for combo in read_plan(out_dir)]
    text, ok = report_text(rows)
    with open(os.path.join(out_dir, "report.txt"), "w", encoding="utf-8") as f:
        f.write(text)
    sys.stdout.write(text)
    return ok


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

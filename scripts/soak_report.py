#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Soak report over the saved games and logs of a soak run, from either driver:
scripts/soak.sh (one folder per game: xboard's PGN and debug log, each
engine's exit status, stderr and polyglot log) or scripts/cutechess_soak.py
(plan.txt, one cutechess-cli log and PGN per combination). Per combination
of protocol, opponent, ponder and time control it counts games, Tarvok's
wins, draws and losses, illegal moves, illegal PV or ponder moves, crashes
and disconnects, stalls, unfinished games and Tarvok's time forfeits.

    soak_report.py DIR            report, also written to DIR/report.txt
    soak_report.py --one GAMEDIR  one-line summary of one soak.sh game

Exit status 0 when the limits are met: no illegal move or line, crash,
disconnect, stall or unfinished game; no time forfeit by Tarvok at 10+0.1 or
slower, at most 1 % of the games at faster controls taken together. In
self-play either side's fault is Tarvok's; the score is Tarvok's, or in
soak.sh's self-play Tarvok A's.
"""

import glob
import os
import re
import sys

FAST_FORFEIT_SHARE = 0.01
COLUMNS = (("games", "games"), ("wins", "W"), ("draws", "D"), ("losses", "L"), ("illegal", "illegal"),
           ("illegal_pv", "bad PV/ponder"), ("crashes", "crash/disconn."), ("stalls", "stalls"),
           ("unfinished", "unfinished"), ("forfeits", "time losses"), ("pgn_games", "PGN games"))
# Counts that fail the run whatever their number.
ALWAYS_FAIL = ("illegal", "illegal_pv", "crashes", "stalls", "unfinished")


def read_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def tail(text, count):
    return text.splitlines()[-count:]


def is_tarvok(name):
    return name.startswith("Tarvok")


# --- PGN, as both xboard and cutechess-cli save it -------------------------

def pgn_games(text):
    """(tags, result, final comment) of each game in a PGN text."""
    for game in re.split(r"^(?=\[Event )", text or "", flags=re.M):
        if "[Result" not in game:
            continue
        tags = dict(re.findall(r'^\[(\w+)\s+"(.*)"\]\s*$', game, re.M))
        body = re.sub(r"^\[.*\]\s*$", "", game, flags=re.M).strip()
        end = re.search(r"(?:\{([^{}]*)\}\s*)?(1-0|0-1|1/2-1/2|\*)\s*$", body)
        result = end.group(2) if end else tags.get("Result", "*")
        reason = " ".join((end.group(1) or "").split()) if end else ""
        yield tags, result, reason


def time_loser(tags, reason):
    """Colour whose flag fell: from the result comment (xboard's and
    cutechess's wordings), else, in a "time forfeit" game such as a draw by
    timeout, the side to move at the end."""
    for pattern, loser in ((r"\b(White|Black)'s flag fell", "same"), (r"\b(White|Black) loses on time", "same"),
                           (r"\b(White|Black) wins on time", "other")):
        m = re.search(pattern, reason)
        if m:
            colour = m.group(1).lower()
            return colour if loser == "same" else {"white": "black", "black": "white"}[colour]
    if tags.get("Termination") == "time forfeit":
        fen_white = tags.get("FEN", "x w").split()[1] == "w"
        return "white" if fen_white == (int(tags.get("PlyCount", "0")) % 2 == 0) else "black"
    return None


def score(white, black, result):
    """'+', '=' or '-' for Tarvok (Tarvok A in soak.sh's self-play)."""
    ours = "Tarvok" if "Tarvok" in (white, black) else "Tarvok A"
    if result == "1/2-1/2":
        return "="
    if result not in ("1-0", "0-1") or ours not in (white, black):
        return None
    return "+" if (result == "1-0") == (white == ours) else "-"


def empty_counts():
    return {key: 0 for key, _ in COLUMNS}


def count_score(counts, mark):
    if mark:
        counts[{"+": "wins", "=": "draws", "-": "losses"}[mark]] += 1


# --- soak.sh: one folder per xboard game ------------------------------------

# xboard's result comments that mean an illegal move or a false claim, and
# polyglot's resignation on an illegal engine move.
ILLEGAL_RESULT = re.compile(
    r"Forfeit due to (invalid|illegal) move|False illegal-move claim|makes illegal move|illegal engine move")
# xboard's TERM, HUP or KILL after "quit" are no crashes.
GUI_SIGNALS = {129, 137, 143}
STDERR_CRASH = re.compile(
    r"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error|Assertion .* failed|"
    r"terminate called|Segmentation fault|core dumped|double free|stack smashing")
TIMEOUT_STATUSES = {124, 137}
COLOUR_OF = {"first": "white", "second": "black"}


def debug_lines_for(debug, side, count=14, before=None):
    """The last lines of xboard's debug log with traffic to or from one
    engine ("first" or "second"), up to line index `before`, with only the
    last three thinking lines."""
    tag = re.compile(r"^\d+ [<>]%s\s*:" % side)
    thinking = re.compile(r"^\d+ <%s\s*: *\d+ -?\d+ \d+ \d+ " % side)
    picked = [line for line in debug.splitlines()[:before] if tag.match(line)]
    late = [i for i, line in enumerate(picked) if thinking.match(line)][:-3]
    return [line for i, line in enumerate(picked) if i not in late][-count:]


class XboardGame:
    def __init__(self, game_dir):
        self.dir = game_dir
        self.name = os.path.basename(game_dir.rstrip("/"))
        self.meta = {}
        for line in read_text(os.path.join(game_dir, "meta.txt")).splitlines():
            key, sep, value = line.partition("=")
            if sep:
                self.meta[key.strip()] = value.strip()
        self.failures = []   # (kind, text, evidence lines); kinds are COLUMNS keys
        self.notes = []      # what is worth a look but fails nothing
        self.score, self.result, self.reason, self.tags = None, "*", "", {}
        self.game_end_lines = []
        self.analyse()

    def combo(self):
        m = self.meta
        return (m.get("protocol", "?"), m.get("opponent", "?"), m.get("ponder", "?"), m.get("tc", "?"))

    def fail(self, kind, text, evidence=()):
        self.failures.append((kind, text, list(evidence)))

    def analyse(self):
        meta, path = self.meta, lambda *p: os.path.join(self.dir, *p)
        side = meta.get("tarvok_side", "first")
        sides = ["first", "second"] if side == "both" else [side]
        names = {"first": meta.get("first_name", "first"), "second": meta.get("second_name", "second")}
        debug, xb_out = read_text(path("xboard.debug")), read_text(path("xboard.out"))
        status = meta.get("xboard_status", "")
        status = int(status) if status.isdigit() else None
        games = list(pgn_games(read_text(path("game.pgn"))))
        if games:
            self.tags, self.result, self.reason = games[-1]
            if self.tags.get("White", names["first"]) != names["first"]:
                self.notes.append("PGN White is %r, expected %r" % (self.tags["White"], names["first"]))
            self.score = score(names["first"], names["second"], self.result)
        lines = debug.splitlines()
        game_end = next((i for i, line in enumerate(lines)
                         if line.startswith("GameEnds(") and "(null)" not in line), None)
        if game_end is not None:
            self.game_end_lines = lines[game_end:game_end + 3]

        if status in TIMEOUT_STATUSES:
            self.fail("stalls", "game not finished within %ss (xboard killed)" % meta.get("time_limit", "?"),
                      ["last traffic with %s:" % names[sides[0]]] + debug_lines_for(debug, sides[0]))
        elif self.result == "*":
            self.fail("unfinished", "no finished game in the PGN (xboard status %s)" % status,
                      tail(debug, 12) + [l for l in xb_out.splitlines() if "ALSA" not in l][-5:])

        loser = {"1-0": "second", "0-1": "first"}.get(self.result)
        if ILLEGAL_RESULT.search(self.reason):
            if loser in sides:
                self.fail("illegal", "%s (%s)" % (self.reason, names[loser]),
                          debug_lines_for(debug, loser, before=game_end))
            else:
                self.notes.append("opponent: %s" % self.reason)
        for s in sides:
            self.analyse_side(s, names[s], debug, xb_out, status, game_end)

        lost = time_loser(self.tags, self.reason)
        lost_side = next((s for s, c in COLOUR_OF.items() if c == lost), None)
        if lost_side in sides:
            self.fail("forfeits", "%s: %s" % (names[lost_side], self.reason),
                      debug_lines_for(debug, lost_side, before=game_end))
        elif lost:
            self.notes.append("opponent lost on time: %s" % self.reason)

    def analyse_side(self, s, name, debug, xb_out, status, game_end):
        """Illegal moves and crashes of one Tarvok side."""
        edir = os.path.join(self.dir, s)
        plog, stderr = read_text(os.path.join(edir, "polyglot.log")), read_text(os.path.join(edir, "stderr.log"))
        for i, line in enumerate(debug.splitlines()):
            said = line.split(":", 1)[1].strip() if ":" in line else ""
            if re.match(r"^\d+ <%s\s*: *Illegal move" % s, line) and "False illegal-move claim" not in self.reason:
                self.fail("illegal", "%s claims: %s" % (name, said), debug_lines_for(debug, s, before=i + 1))
            elif re.match(r"^\d+ <%s\s*: *Error" % s, line):
                self.notes.append("%s says: %s" % (name, said))
        for line in xb_out.splitlines():
            if re.search(r'Illegal move ".*" from %s machine' % s, line) and not ILLEGAL_RESULT.search(self.reason):
                self.fail("illegal", line.strip())
        bad = next((l for l in plog.splitlines() if "ILLEGAL MOVE" in l or "illegal engine move" in l), None)
        if bad:
            self.fail("illegal", "polyglot: " + bad.strip(), tail(plog, 1))

        evidence = debug_lines_for(debug, s, before=game_end) + (["polyglot.log:"] + tail(plog, 10) if plog else [])
        code = read_text(os.path.join(edir, "exit_status")).strip()
        code = int(code) if code.isdigit() else None
        if code is not None and code != 1 and code not in GUI_SIGNALS:
            how = "ended by signal %d" % (code - 128) if code > 128 else "exited with status %d" % code
            self.fail("crashes", "%s %s" % (name, how), evidence + tail(stderr, 10))
        elif code is None and status not in TIMEOUT_STATUSES:
            self.notes.append("%s still running when xboard ended" % name)
        if STDERR_CRASH.search(stderr):
            self.fail("crashes", "%s wrote an error report on stderr" % name, tail(stderr, 15))
        elif stderr.strip():
            self.notes.append("%s stderr: %s" % (name, " | ".join(tail(stderr, 3))))
        gone = re.compile(r"%s chess program .*(exited unexpectedly|not responding)|Error writing to %s chess program"
                          % (s, s))
        line = next((l for l in (xb_out + "\n" + debug).splitlines() if gone.search(l)), None)
        if line:
            self.fail("crashes", line.strip(), evidence)
        self.notes += ["polyglot: " + l.strip() for l in plog.splitlines()
                       if "Child exited with status" in l and not re.search(r"status 1\b", l)]

    def kinds(self):
        return sorted({kind for kind, _, _ in self.failures})

    def one_line(self):
        text = "%s %s {%s}" % (self.score or "?", self.result, self.reason)
        return text + ("  FAIL: " + ", ".join(self.kinds()) if self.failures else "")

    def add_to(self, counts):
        counts["games"] += 1
        counts["pgn_games"] += self.result != "*"
        count_score(counts, self.score)
        for kind in self.kinds():
            counts[kind] += 1

    def details(self):
        lines = ["%s: %s" % (self.name, self.one_line())] + ["    note: " + n for n in self.notes]
        for kind, text, evidence in self.failures:
            lines += ["    [%s] %s" % (kind, text)] + ["        " + e for e in evidence]
        if self.failures and self.game_end_lines:
            lines += ["    game end in xboard's log:"] + ["        " + e for e in self.game_end_lines]
        return lines


def xboard_rows(out_dir):
    rows = {}
    for game_dir in sorted(d for d in glob.glob(os.path.join(out_dir, "game*")) if os.path.isdir(d)):
        game = XboardGame(game_dir)
        counts, details = rows.setdefault(game.combo(), (empty_counts(), []))
        game.add_to(counts)
        details += game.details()
    return [(combo, counts, details) for combo, (counts, details) in sorted(rows.items())]


# --- cutechess_soak.py: a log and a PGN per combination ----------------------

FINISHED = re.compile(r"^Finished game (\d+) \((.+) vs (.+)\): (\S+) \{(.*)\}\s*$")
STARTED = re.compile(r"^Started game (\d+) of \d+ \((.+) vs (.+)\)\s*$")
# cutechess's warnings; fastchess words the first differently.
ILLEGAL_LINE = (re.compile(r"Illegal PV move (?:- move )?\S+ from (\S+)"),
                re.compile(r"Illegal ponder move from ([^:\s]+):"),
                re.compile(r"Premature bestmove while pondering from (\S+)"))


def combo_name(protocol, opponent, ponder, tc):
    safe_tc = tc.replace("/", "_").replace("=", "").replace("+", "p")
    return f"{protocol}-{opponent}-ponder{ponder}-{safe_tc}"


def read_cutechess_log(text, counts, details):
    started, finished = set(), set()
    for line in text.splitlines():
        match = STARTED.match(line)
        if match:
            started.add(match.group(1))
        if any(w and is_tarvok(w.group(1)) for w in (p.search(line) for p in ILLEGAL_LINE)):
            counts["illegal_pv"] += 1
            details.append(line)
        match = FINISHED.match(line)
        if not match:
            continue
        number, white, black, result, reason = match.groups()
        finished.add(number)
        counts["games"] += 1
        count_score(counts, score(white, black, result))
        # The side at fault loses: "Black makes an illegal move", "White's
        # connection stalls", "White wins by adjudication: black claims
        # illegal move: sd 6" (an opponent rejecting a command). "Draw by
        # disconnection" names no side: counted, to be looked at. Time
        # losses come from the PGN.
        culprit = {"1-0": black, "0-1": white}.get(result)
        kind = ("illegal" if "illegal move" in reason else "crashes" if "disconnect" in reason
                else "stalls" if "stalls" in reason else None)
        if kind and (culprit is None and kind == "crashes" or culprit and is_tarvok(culprit)):
            counts[kind] += 1
            details.append(line)
    counts["unfinished"] += len(started - finished)


def cutechess_rows(out_dir):
    rows = []
    for line in read_text(os.path.join(out_dir, "plan.txt")).splitlines():
        combo = tuple(line.split())
        if len(combo) != 4:
            continue
        name, counts, details = combo_name(*combo), empty_counts(), []
        read_cutechess_log(read_text(os.path.join(out_dir, name + ".log")), counts, details)
        for tags, result, reason in pgn_games(read_text(os.path.join(out_dir, name + ".pgn"))):
            counts["pgn_games"] += result != "*"
            lost = time_loser(tags, reason) if result != "*" else None
            if lost and is_tarvok(tags.get(lost.capitalize(), "")):
                counts["forfeits"] += 1
        rows.append((combo, counts, ["%s: %s" % (name, d) for d in details]))
    return rows


# --- the report ---------------------------------------------------------------

def seconds_per_game(tc):
    """A rough wall-clock figure for one game at a time control."""
    if tc.startswith("st="):
        return 2 * 80 * float(tc[3:])
    if tc.startswith("depth="):
        return 60
    moves, _, rest = tc.rpartition("/")
    base, _, inc = rest.partition("+")
    return 2 * (float(base) * (80 / float(moves) if moves else 1) + 80 * float(inc or 0))


def is_fast(tc):
    """2+0.02 and the like: faster than 10 s + 0.1 s a move."""
    if not re.fullmatch(r"(\d+/)?[\d.]+(\+[\d.]+)?", tc):
        return False
    return seconds_per_game(tc) < seconds_per_game("10+0.1")


def failures(rows):
    """The limits a run breaks, as texts (rows: (combo, counts, details))."""
    found, fast_games, fast_forfeits = [], 0, 0
    for combo, c, _ in rows:
        where = "%s %s ponder %s %s" % combo
        found += ["%s: %d %s" % (where, c[key], key) for key in ALWAYS_FAIL if c[key]]
        if is_fast(combo[3]):
            fast_games += c["games"]
            fast_forfeits += c["forfeits"]
        elif c["forfeits"]:
            found.append(f"{where}: {c['forfeits']} time forfeits by Tarvok in {c['games']} games")
    if fast_forfeits > int(fast_games * FAST_FORFEIT_SHARE):
        found.append(f"fast controls: {fast_forfeits} time forfeits by Tarvok in {fast_games} games")
    if not any(c["games"] for _, c, _ in rows):
        found.append("no game played")
    return found


def report_text(rows):
    """The table, the limits and the details; and whether the limits are met."""
    header = ["protocol", "opponent", "ponder", "tc"] + [title for _, title in COLUMNS]
    total = empty_counts()
    table = [header]
    for combo, counts, _ in rows:
        table.append(list(combo) + [str(counts[key]) for key, _ in COLUMNS])
        for key in total:
            total[key] += counts[key]
    table.append(["all", "", "", ""] + [str(total[key]) for key, _ in COLUMNS])
    widths = [max(len(row[i]) for row in table) for i in range(len(header))]
    lines = ["| " + " | ".join(cell.ljust(w) for cell, w in zip(row, widths)) + " |" for row in table]
    lines.insert(1, "|" + "|".join("-" * (w + 2) for w in widths) + "|")
    problems = failures(rows)
    lines += ["", "Limits met." if not problems else "Limits not met:"] + ["  " + p for p in problems]
    details = [line for _, _, d in rows for line in d]
    if details:
        lines += ["", "Details:"] + ["  " + line for line in details]
    return "\n".join(lines) + "\n", not problems


def write_report(out_dir):
    rows = cutechess_rows(out_dir) if os.path.exists(os.path.join(out_dir, "plan.txt")) else xboard_rows(out_dir)
    text, ok = report_text(rows)
    with open(os.path.join(out_dir, "report.txt"), "w", encoding="utf-8") as f:
        f.write(text)
    sys.stdout.write(text)
    return ok


def main(argv):
    if len(argv) == 3 and argv[1] == "--one":
        print(XboardGame(argv[2]).one_line())
        return 0
    if len(argv) != 2 or argv[1].startswith("-"):
        sys.stderr.write(__doc__)
        return 2
    return 0 if write_report(argv[1]) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))

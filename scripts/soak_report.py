#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the game directories written by scripts/soak.sh and reports, from
xboard's saved PGN, its debug log and the engines' own logs: games played,
results from Tarvok's side, illegal moves, crashes, hangs and time forfeits.

    soak_report.py OUTDIR        full report; exit 0 only without failures
    soak_report.py --one GAMEDIR one-line summary of one game

In self-play every failure of either side is Tarvok's, and the score is
given from the side named "Tarvok A".
"""

import glob
import os
import re
import sys

FAILURE_KINDS = ("illegal", "crash", "hang", "time")

# xboard's result comments and messages that mean an illegal move or a false
# illegal-move claim; polyglot's resignation on an illegal engine move.
ILLEGAL_RESULT = re.compile(
    r"Forfeit due to (invalid|illegal) move|False illegal-move claim|"
    r"makes illegal move|illegal engine move")
# Signals that end an engine abnormally; the GUI's own TERM/HUP/KILL after
# "quit" are not crashes.
GUI_SIGNALS = {129, 137, 143}
STDERR_CRASH = re.compile(
    r"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error|"
    r"Assertion .* failed|terminate called|Segmentation fault|core dumped|"
    r"double free|stack smashing")
HANG_STATUSES = {124, 137}


def read_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return None


def read_meta(game_dir):
    meta = {}
    for line in (read_text(os.path.join(game_dir, "meta.txt")) or "").splitlines():
        key, sep, value = line.partition("=")
        if sep:
            meta[key.strip()] = value.strip()
    return meta


def parse_pgn(text):
    """Returns (tags, result, reason) of the last game in xboard's PGN text,
    or None when it holds no game."""
    if not text or "[Result" not in text:
        return None
    start = text.rfind("[Event ")
    game = text[start:] if start >= 0 else text
    tags = dict(re.findall(r'^\[(\w+)\s+"(.*)"\]\s*$', game, re.M))
    body = re.sub(r"^\[.*\]\s*$", "", game, flags=re.M).strip()
    m = re.search(r"(?:\{([^{}]*)\}\s*)?(1-0|0-1|1/2-1/2|\*)\s*$", body)
    if m:
        result, reason = m.group(2), (m.group(1) or "").strip()
    else:
        result, reason = tags.get("Result", "*"), ""
    return tags, result, " ".join(reason.split())


def loser_colour(result):
    return {"1-0": "black", "0-1": "white"}.get(result)


def time_loser(reason):
    """Colour that lost on time according to an xboard result comment."""
    m = re.search(r"\b(White|Black)'s flag fell", reason)
    if m:
        return m.group(1).lower()
    m = re.search(r"\b(White|Black) wins on time", reason)
    if m:
        return "black" if m.group(1) == "White" else "white"
    m = re.search(r"\b(White|Black) loses on time", reason)
    if m:
        return m.group(1).lower()
    return None


def engine_status(engine_dir):
    text = read_text(os.path.join(engine_dir, "exit_status"))
    if text is None or not text.strip().isdigit():
        return None
    return int(text.strip())


def debug_lines_for(debug, side, count=14, before=None):
    """Last lines of xboard's debug log that show traffic with one engine
    ("first" or "second"), up to the line index `before`."""
    lines = debug.splitlines()[:before] if debug else []
    tag = re.compile(r"^\d+ [<>]%s\s*:" % side)
    picked = [line for line in lines if tag.match(line)]
    # Thinking lines would crowd out the commands: keep only the last three.
    thinking = re.compile(r"^\d+ <%s\s*: *\d+ -?\d+ \d+ \d+ " % side)
    late = set(i for i, line in enumerate(picked) if thinking.match(line))
    late_kept = sorted(late)[-3:]
    picked = [line for i, line in enumerate(picked) if i not in late or i in late_kept]
    return picked[-count:]


def tail(text, count):
    return (text or "").splitlines()[-count:]


class Game:
    def __init__(self, game_dir):
        self.dir = game_dir
        self.name = os.path.basename(game_dir.rstrip("/"))
        self.meta = read_meta(game_dir)
        self.failures = []   # (kind, text, evidence lines)
        self.notes = []      # observations that do not fail the run
        self.score = None    # "+", "=", "-" from Tarvok's (or Tarvok A's) side
        self.result = "*"
        self.reason = ""
        self.analyse()

    def fail(self, kind, text, evidence=()):
        self.failures.append((kind, text, list(evidence)))

    def analyse(self):
        meta = self.meta
        side = meta.get("tarvok_side", "first")
        tarvok_sides = ["first", "second"] if side == "both" else [side]
        colour_of = {"first": "white", "second": "black"}
        names = {"first": meta.get("first_name", "first"),
                 "second": meta.get("second_name", "second")}
        debug = read_text(os.path.join(self.dir, "xboard.debug")) or ""
        xb_out = read_text(os.path.join(self.dir, "xboard.out")) or ""
        pgn = parse_pgn(read_text(os.path.join(self.dir, "game.pgn")))
        status = meta.get("xboard_status", "")
        status = int(status) if status.isdigit() else None

        # Which side is "ours" for the score: Tarvok, or Tarvok A in self-play.
        if side == "both":
            ours = "first" if names["first"] == "Tarvok A" else "second"
        else:
            ours = side
        our_colour = colour_of[ours]
        def is_tarvok(colour):
            return any(colour_of[s] == colour for s in tarvok_sides)

        if pgn:
            tags, self.result, self.reason = pgn
            white = tags.get("White", "")
            if white and white != names["first"]:
                self.notes.append("PGN White is %r, expected %r" % (white, names["first"]))
            if self.result == "1/2-1/2":
                self.score = "="
            elif self.result in ("1-0", "0-1"):
                self.score = "-" if loser_colour(self.result) == our_colour else "+"

        game_end = None
        self.game_end_lines = []
        lines = debug.splitlines()
        for i, line in enumerate(lines):
            if line.startswith("GameEnds(") and "(null)" not in line:
                game_end = i
                self.game_end_lines = lines[i:i + 3]
                break

        # Hangs: the game did not end within the wall-clock limit.
        if status in HANG_STATUSES:
            self.fail("hang", "game not finished within %ss (xboard killed)" % meta.get("time_limit", "?"),
                      ["last traffic with %s:" % names[s] for s in tarvok_sides[:1]]
                      + debug_lines_for(debug, tarvok_sides[0]))
        elif not pgn or self.result == "*":
            self.fail("hang", "no finished game in the PGN (xboard status %s)" % status,
                      tail(debug, 12) + [l for l in xb_out.splitlines() if "ALSA" not in l][-5:])

        loser = loser_colour(self.result)
        loser_side = next((s for s, c in colour_of.items() if c == loser), None)

        # Illegal moves: xboard's forfeits and false claims, and the lines in
        # its logs that name an illegal move of a Tarvok side.
        if ILLEGAL_RESULT.search(self.reason):
            if loser and is_tarvok(loser):
                self.fail("illegal", "%s (%s)" % (self.reason, names[loser_side]),
                          debug_lines_for(debug, loser_side, before=game_end))
            else:
                self.notes.append("opponent: %s" % self.reason)
        for s in tarvok_sides:
            for line in debug.splitlines():
                said = line.split(":", 1)[1].strip() if ":" in line else ""
                if re.match(r"^\d+ <%s\s*: *Illegal move" % s, line) and \
                        "False illegal-move claim" not in self.reason:
                    self.fail("illegal", "%s claims: %s" % (names[s], said),
                              debug_lines_for(debug, s, before=debug.splitlines().index(line) + 1))
                elif re.match(r"^\d+ <%s\s*: *Error" % s, line):
                    self.notes.append("%s says: %s" % (names[s], said))
            for line in xb_out.splitlines():
                if re.search(r'Illegal move ".*" from %s machine' % s, line) and \
                        not ILLEGAL_RESULT.search(self.reason):
                    self.fail("illegal", line.strip())
            plog = read_text(os.path.join(self.dir, s, "polyglot.log")) or ""
            for line in plog.splitlines():
                if "ILLEGAL MOVE" in line or "illegal engine move" in line:
                    self.fail("illegal", "polyglot: " + line.strip(), tail(plog, 1))
                    break

        # Crashes: an abnormal exit status or sanitizer output of a Tarvok
        # process, an engine that exited during the game, no response.
        for s in tarvok_sides:
            edir = os.path.join(self.dir, s)
            code = engine_status(edir)
            stderr = read_text(os.path.join(edir, "stderr.log")) or ""
            plog = read_text(os.path.join(edir, "polyglot.log")) or ""
            evidence = debug_lines_for(debug, s, before=game_end)
            if plog:
                evidence += ["polyglot.log:"] + tail(plog, 10)
            if code is not None and code > 128 and code not in GUI_SIGNALS:
                self.fail("crash", "%s ended by signal %d" % (names[s], code - 128),
                          evidence + tail(stderr, 10))
            elif code is not None and code not in (1,) and code not in GUI_SIGNALS:
                self.fail("crash", "%s exited with status %d" % (names[s], code),
                          evidence + tail(stderr, 10))
            # xboard sends TERM right after "quit" to every engine: not noted.
            elif code is None and status not in HANG_STATUSES:
                self.notes.append("%s still running when xboard ended" % names[s])
            if STDERR_CRASH.search(stderr):
                self.fail("crash", "%s wrote an error report on stderr" % names[s], tail(stderr, 15))
            elif stderr.strip():
                self.notes.append("%s stderr: %s" % (names[s], " | ".join(tail(stderr, 3))))
            for line in (xb_out + "\n" + debug).splitlines():
                if re.search(r"%s chess program .*(exited unexpectedly|not responding)|"
                             r"Error writing to %s chess program" % (s, s), line):
                    self.fail("crash", line.strip(), evidence)
                    break
            if "Child exited with status" in plog and not re.search(r"status 1\b", plog):
                for line in plog.splitlines():
                    if "Child exited with status" in line:
                        self.notes.append("polyglot: " + line.strip())

        # Time forfeits.
        lost = time_loser(self.reason)
        if lost:
            if is_tarvok(lost):
                s = next(x for x in tarvok_sides if colour_of[x] == lost)
                self.fail("time", "%s: %s" % (names[s], self.reason),
                          debug_lines_for(debug, s, before=game_end))
            else:
                self.notes.append("opponent lost on time: %s" % self.reason)

    def kinds(self):
        return sorted({kind for kind, _, _ in self.failures})

    def one_line(self):
        text = "%s %s {%s}" % (self.score or "?", self.result, self.reason)
        if self.failures:
            text += "  FAIL: " + ", ".join(self.kinds())
        return text


def report(out_dir, stream=sys.stdout):
    dirs = sorted(d for d in glob.glob(os.path.join(out_dir, "game*")) if os.path.isdir(d))
    games = [Game(d) for d in dirs]
    w = stream.write
    w("Soak report for %s\n" % out_dir)
    w("games played: %d\n" % len(games))
    groups = {}
    for g in games:
        key = (g.meta.get("protocol", "?"), g.meta.get("opponent", "?"), g.meta.get("ponder", "?"))
        groups.setdefault(key, []).append(g)
    w("\n%-8s %-9s %-7s %5s %4s %4s %4s   (+ = - from Tarvok's side; self: Tarvok A's)\n"
      % ("protocol", "opponent", "ponder", "games", "+", "=", "-"))
    for key in sorted(groups):
        gs = groups[key]
        w("%-8s %-9s %-7s %5d %4d %4d %4d\n" % (key + (len(gs),) + tuple(
            sum(1 for g in gs if g.score == c) for c in "+=-")))
    totals = {k: sum(1 for g in games if k in g.kinds()) for k in FAILURE_KINDS}
    w("\ngames with: illegal moves %d, crashes %d, hangs %d, Tarvok time forfeits %d\n"
      % tuple(totals[k] for k in FAILURE_KINDS))
    w("\nper game:\n")
    for g in games:
        w("  %s: %s\n" % (g.name, g.one_line()))
        for note in g.notes:
            w("      note: %s\n" % note)
    failed = [g for g in games if g.failures]
    if failed:
        w("\nfailures:\n")
        for g in failed:
            for kind, text, evidence in g.failures:
                w("\n[%s] %s: %s\n" % (kind, g.name, text))
                for line in evidence:
                    w("    %s\n" % line)
            if g.game_end_lines:
                w("  game end in xboard's log:\n")
                for line in g.game_end_lines:
                    w("    %s\n" % line)
    return 1 if failed or not games else 0


def main(argv):
    if len(argv) == 3 and argv[1] == "--one":
        print(Game(argv[2]).one_line())
        return 0
    if len(argv) != 2 or argv[1].startswith("-"):
        sys.stderr.write(__doc__)
        return 2
    return report(argv[1])


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak test: plays fast games of Tarvok through a real GUI (xboard under Xvfb,
# with polyglot in between for UCI) against fairymax and against itself, then
# reports results, illegal moves, crashes, hangs and Tarvok's time forfeits
# from xboard's saved PGN and debug logs (scripts/soak_report.py).
#
# One xboard process plays one game, so every game has its own debug log, its
# own engine working directories and its own wall-clock limit.

set -u

usage() {
    cat <<'EOF'
Usage: scripts/soak.sh [options] [GAMES]

Plays GAMES games (default 10) in total, spread in turn over the chosen
configurations (protocol x opponent x ponder); within each configuration
Tarvok changes colour from game to game.

Options:
  -p, --protocol xboard|uci|both   Tarvok's protocol (default both); uci runs
                                   Tarvok through polyglot
  -o, --opponent fairymax|self|both  opponent (default both)
      --ponder off|on|both         pondering in the GUI (default off)
  -e, --engine PATH                Tarvok binary (default <repo>/build/tarvok)
  -d, --out DIR                    output directory for PGN and logs
                                   (default /tmp/tarvok-soak-<date>-<time>)
      --tc SECONDS                 base time per side (default 5, whole seconds)
      --inc SECONDS                increment per move (default 0.05)
      --game-timeout SECONDS       wall-clock limit of one game (default
                                   4 x (tc + 250 x inc) + 120)
  -h, --help                       this text

Exit status: 0 when no game had an illegal move, a crash, a hang or an
unfinished game, and Tarvok lost on time in at most 1 % of the games at
controls faster than 10+0.1 (none at slower ones); 1 otherwise; 2 on a usage
or set-up error. The report (scripts/soak_report.py) goes to report.txt in
the output directory.
EOF
}

script_dir=$(cd "$(dirname "$0")" && pwd)
repo_dir=$(cd "$script_dir/.." && pwd)

games=10
protocol=both
opponent=both
ponder=off
engine="$repo_dir/build/tarvok"
out_dir=""
tc=5
inc=0.05
game_timeout=""

die() { echo "soak.sh: $*" >&2; exit 2; }

while [ $# -gt 0 ]; do
    case "$1" in
        -p|--protocol) protocol=${2:-}; shift 2 ;;
        -o|--opponent) opponent=${2:-}; shift 2 ;;
        --ponder) ponder=${2:-}; shift 2 ;;
        -e|--engine) engine=${2:-}; shift 2 ;;
        -d|--out) out_dir=${2:-}; shift 2 ;;
        --tc) tc=${2:-}; shift 2 ;;
        --inc) inc=${2:-}; shift 2 ;;
        --game-timeout) game_timeout=${2:-}; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        -*) usage >&2; die "unknown option $1" ;;
        *) games=$1; shift ;;
    esac
done

case "$protocol" in xboard) protocols="xboard" ;; uci) protocols="uci" ;; both) protocols="xboard uci" ;; *) die "bad protocol '$protocol'" ;; esac
case "$opponent" in fairymax) opponents="fairymax" ;; self) opponents="self" ;; both) opponents="fairymax self" ;; *) die "bad opponent '$opponent'" ;; esac
case "$ponder" in off) ponders="off" ;; on) ponders="on" ;; both) ponders="off on" ;; *) die "bad ponder '$ponder'" ;; esac
[[ "$games" =~ ^[0-9]+$ ]] && [ "$games" -ge 1 ] || die "GAMES must be a positive number"
[[ "$tc" =~ ^[0-9]+$ ]] && [ "$tc" -ge 1 ] || die "--tc takes whole seconds"
[[ "$inc" =~ ^[0-9]+(\.[0-9]+)?$ ]] || die "--inc takes seconds"
if [ -z "$game_timeout" ]; then
    game_timeout=$(awk -v t="$tc" -v i="$inc" 'BEGIN { printf "%d", 4 * (t + 250 * i) + 120 }')
fi
[[ "$game_timeout" =~ ^[0-9]+$ ]] || die "--game-timeout takes whole seconds"

engine=$(readlink -f "$engine" 2>/dev/null || echo "$engine")
[ -x "$engine" ] || die "engine binary '$engine' not found or not executable"
XBOARD=/usr/games/xboard
FAIRYMAX=/usr/games/fairymax
# Fairy-Max 5.0b crashes in about half the games after xboard's "computer"
# command (a fault of its own, reproducible without Tarvok); it does not need
# the command, so its launcher drops it.
FAIRYMAX_FILTER="grep --line-buffered -vx computer"
POLYGLOT=/usr/games/polyglot
for tool in "$XBOARD" "$FAIRYMAX" "$POLYGLOT" /usr/bin/Xvfb; do
    [ -x "$tool" ] || die "$tool is missing (Debian packages xboard, fairymax, polyglot, xvfb)"
done
command -v python3 >/dev/null || die "python3 is missing"

[ -n "$out_dir" ] || out_dir="${TMPDIR:-/tmp}/tarvok-soak-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$out_dir" || die "cannot create $out_dir"
out_dir=$(cd "$out_dir" && pwd)

# xboard's -tc takes minutes[:seconds].
tc_text="$((tc / 60)):$(printf '%02d' $((tc % 60)))"

# Private X server on the first free display number.
xvfb_pid=""
game_pid=""
cleanup() {
    if [ -n "$game_pid" ]; then kill -TERM -- "-$game_pid" 2>/dev/null; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

display=""
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || die "no free X display number"
/usr/bin/Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$out_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb failed to start (see $out_dir/xvfb.log)"
    sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || die "Xvfb did not come up"

# Writes an engine launcher into directory $1 for program $2: it keeps the
# engine's stderr and exit status there and passes the GUI's signals on.
# write_launcher DIR PROGRAM [INPUT-FILTER]: the filter, when given, sits
# between the GUI's pipe and the program.
write_launcher() {
    local dir=$1 prog=$2 filter=${3:-}
    local run="\"$prog\" <&3 3<&-"
    [ -n "$filter" ] && run="$filter <&3 3<&- | \"$prog\""
    cat >"$dir/engine.sh" <<EOF
#!/bin/sh
# sh gives a background job /dev/null as input unless it is redirected
# explicitly, so the GUI's pipe goes through descriptor 3.
exec 3<&0
$run 2>>"$dir/stderr.log" &
child=\$!
trap 'kill -TERM \$child 2>/dev/null' TERM
trap 'kill -HUP \$child 2>/dev/null' HUP
trap 'kill -INT \$child 2>/dev/null' INT
while :; do
    wait \$child
    rc=\$?
    kill -0 \$child 2>/dev/null || break
done
echo "\$rc" >"$dir/exit_status"
exit \$rc
EOF
    chmod +x "$dir/engine.sh"
}

configs=()
for p in $protocols; do
    for o in $opponents; do
        for q in $ponders; do configs+=("$p $o $q"); done
    done
done
nconfigs=${#configs[@]}

echo "soak: $games games, tc ${tc}s + ${inc}s, limit ${game_timeout}s per game, output $out_dir"
echo "soak: engine $engine"

for ((g = 0; g < games; g++)); do
    read -r proto opp pond <<<"${configs[$((g % nconfigs))]}"
    round=$((g / nconfigs))
    gdir=$(printf '%s/game%03d-%s-%s-ponder%s' "$out_dir" $((g + 1)) "$proto" "$opp" "$pond")
    mkdir -p "$gdir/first" "$gdir/second"
    rm -f "$gdir"/first/* "$gdir"/second/* "$gdir"/game.pgn "$gdir"/xboard.debug

    # Tarvok alternates colours; the first engine plays White in xboard's match.
    if [ "$opp" = self ]; then
        write_launcher "$gdir/first" "$engine"
        write_launcher "$gdir/second" "$engine"
        if ((round % 2 == 0)); then fn="Tarvok A"; sn="Tarvok B"; else fn="Tarvok B"; sn="Tarvok A"; fi
        tarvok_side=both
    elif ((round % 2 == 0)); then
        write_launcher "$gdir/first" "$engine"
        write_launcher "$gdir/second" "$FAIRYMAX" "$FAIRYMAX_FILTER"
        fn="Tarvok"; sn="Fairy-Max"; tarvok_side=first
    else
        write_launcher "$gdir/first" "$FAIRYMAX" "$FAIRYMAX_FILTER"
        write_launcher "$gdir/second" "$engine"
        fn="Fairy-Max"; sn="Tarvok"; tarvok_side=second
    fi

    # Move animation stalls xboard's event loop, and the time it takes is
    # charged to the engine that has just answered: it is switched off, as
    # for any engine match.
    args=(-settingsFile "$gdir/xboardrc" -saveSettingsOnExit false
          -mg 1 -tc "$tc_text" -inc "$inc" -autoflag -xexit -xpopup
          -xanimate -flashCount 0
          -fcp "$gdir/first/engine.sh" -fd "$gdir/first"
          -scp "$gdir/second/engine.sh" -sd "$gdir/second"
          -fn "$fn" -sn "$sn"
          -sgf "$gdir/game.pgn" -debug -nameOfDebugFile "$gdir/xboard.debug")
    if [ "$pond" = on ]; then args+=(-ponder); else args+=(-xponder); fi
    if [ "$proto" = uci ]; then
        # polyglot runs the UCI engine and logs the UCI traffic in its directory.
        args+=(-adapterCommand "$POLYGLOT -noini -log true -lf \"%fd/polyglot.log\" -ec \"%fcp\" -ed \"%fd\"")
        if [ "$tarvok_side" != second ]; then args+=(-fUCI); fi
        if [ "$tarvok_side" != first ]; then args+=(-sUCI); fi
    fi

    {
        echo "game=$((g + 1))"
        echo "protocol=$proto"
        echo "opponent=$opp"
        echo "ponder=$pond"
        echo "tc=$tc+$inc"
        echo "tarvok_side=$tarvok_side"
        echo "first_name=$fn"
        echo "second_name=$sn"
        echo "time_limit=$game_timeout"
    } >"$gdir/meta.txt"

    start=$(date +%s)
    # timeout makes its own process group: on a hang the whole group (xboard,
    # polyglot, engines) is ended, and the group is swept after every game.
    DISPLAY=":$display" timeout -k 10 "$game_timeout" "$XBOARD" "${args[@]}" \
        >"$gdir/xboard.out" 2>&1 &
    game_pid=$!
    wait "$game_pid"
    rc=$?
    sleep 0.5
    kill -TERM -- "-$game_pid" 2>/dev/null
    game_pid=""
    end=$(date +%s)
    {
        echo "xboard_status=$rc"
        echo "elapsed=$((end - start))"
    } >>"$gdir/meta.txt"
    printf 'soak: game %d/%d %-6s %-8s ponder %-3s %-9s vs %-9s %3ds  %s\n' \
        $((g + 1)) "$games" "$proto" "$opp" "$pond" "$fn" "$sn" $((end - start)) \
        "$(python3 "$script_dir/soak_report.py" --one "$gdir")"
done

# The report also goes to report.txt in the output directory.
python3 "$script_dir/soak_report.py" "$out_dir"

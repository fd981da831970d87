#!/bin/sh
# Nodes per second of Tarvok and of Debian's glaurung (a UCI engine, run as a
# black box) on the positions of bench_search, the same fixed time for each.
#
#   scripts/pair_glaurung.sh [build-dir] [milliseconds-per-position]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
ms=${2:-1000}
bench="$build/bench_search"
glaurung=$(command -v glaurung || true)
[ -n "$glaurung" ] || [ ! -x /usr/games/glaurung ] || glaurung=/usr/games/glaurung

[ -x "$bench" ] || { echo "no $bench: build the bench_search target first" >&2; exit 1; }

# The bench's positions: the first 16 perft positions and the 24 EPD ones.
positions() {
    head -n 16 "$root/tests/data/perft.txt" | cut -d';' -f1
    cut -d' ' -f1-4 "$root/tests/data/bk.epd" | sed 's/$/ 0 1/'
}

tarvok_nps=$("$bench" --movetime "$ms" | awk '/^nps/ {print $2}')

glaurung_nps=unavailable
if [ -n "$glaurung" ]; then
    script=$(mktemp)
    {
        echo uci
        echo isready
        positions | while IFS= read -r fen; do
            echo ucinewgame
            echo "position fen $fen"
            echo "go movetime $ms"
            # UCI engines answer isready only after the search has finished.
            echo isready
        done
        echo quit
    } >"$script"
    # Slow feeding keeps each "go" alone in the pipe while it searches.
    glaurung_nps=$(
        while IFS= read -r line; do
            echo "$line"
            case $line in "go "*) sleep "$(awk "BEGIN {print $ms / 1000 + 0.2}")" ;; esac
        done <"$script" | "$glaurung" 2>/dev/null | awk '
            / nodes / { for (i = 1; i < NF; ++i) if ($i == "nodes") last = $(i + 1) }
            / time / { for (i = 1; i < NF; ++i) if ($i == "time") lastTime = $(i + 1) }
            /^bestmove/ { nodes += last; ms += lastTime; last = 0; lastTime = 0 }
            END { if (ms > 0) printf "%.0f\n", nodes * 1000 / ms; else print "unavailable" }')
    rm -f "$script"
fi

printf '%-10s %12s\n' engine nps
printf '%-10s %12s\n' tarvok "$tarvok_nps"
printf '%-10s %12s\n' glaurung "$glaurung_nps"

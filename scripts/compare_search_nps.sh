#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Nodes per second of Tarvok and of Debian's UCI engines glaurung, toga2 and
# stockfish (run as black boxes, one thread each) on the positions of
# bench_search, the same fixed time per position for every engine. Each engine
# runs ROUNDS times, the engines taking turns within a round; the median of
# the rounds is printed, with its ratio to Tarvok's.
#
#   scripts/compare_search_nps.sh [build-dir] [milliseconds-per-position] [rounds]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
ms=${2:-500}
rounds=${3:-3}
bench="$build/bench_search"

[ -x "$bench" ] || { echo "no $bench: build the bench_search target first" >&2; exit 1; }

find_engine() {
    command -v "$1" 2>/dev/null || { [ -x "/usr/games/$1" ] && echo "/usr/games/$1"; } || true
}

# The bench's positions: the first 16 perft positions and the 24 EPD ones.
positions() {
    head -n 16 "$root/tests/data/perft.txt" | cut -d';' -f1
    cut -d' ' -f1-4 "$root/tests/data/bk.epd" | sed 's/$/ 0 1/'
}

# uci_nps ENGINE: total nodes over total search time reported by the engine's
# last "info" line of each search.
uci_nps() {
    script=$(mktemp)
    {
        echo uci
        echo "setoption name Threads value 1"
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
    while IFS= read -r line; do
        echo "$line"
        case $line in "go "*) sleep "$(awk "BEGIN {print $ms / 1000 + 0.2}")" ;; esac
    done <"$script" | "$1" 2>/dev/null | awk '
        / nodes / { for (i = 1; i < NF; ++i) if ($i == "nodes") last = $(i + 1) }
        / time / { for (i = 1; i < NF; ++i) if ($i == "time") lastTime = $(i + 1) }
        /^bestmove/ { nodes += last; ms += lastTime; last = 0; lastTime = 0 }
        END { if (ms > 0) printf "%.0f\n", nodes * 1000 / ms; else print "unavailable" }'
    rm -f "$script"
}

engines="tarvok"
for name in glaurung toga2 stockfish; do
    [ -n "$(find_engine "$name")" ] && engines="$engines $name"
done

results=$(mktemp)
round=1
while [ "$round" -le "$rounds" ]; do
    for name in $engines; do
        if [ "$name" = tarvok ]; then
            # Wall-clock search time, as the other engines report theirs.
            nps=$("$bench" --movetime "$ms" | awk '/^nodes/ {n = $2} /^time/ {t = $2} END {printf "%.0f\n", n / t}')
        else
            nps=$(uci_nps "$(find_engine "$name")")
        fi
        echo "$name $nps" >>"$results"
        echo "round $round: $name $nps" >&2
    done
    round=$((round + 1))
done

printf '%-10s %12s %8s   (median of %d rounds, %d ms per position)\n' engine nps ratio "$rounds" "$ms"
sort -k1,1 -k2,2n "$results" | awk -v order="$engines" '
    { values[$1] = values[$1] " " $2; count[$1]++ }
    END {
        n = split(order, names, " ")
        for (i = 1; i <= n; ++i) {
            split(substr(values[names[i]], 2), v, " ")
            median[names[i]] = v[int((count[names[i]] + 1) / 2)]
        }
        for (i = 1; i <= n; ++i)
            printf "%-10s %12d %8.2f\n", names[i], median[names[i]], median["tarvok"] / median[names[i]]
    }'
rm -f "$results"

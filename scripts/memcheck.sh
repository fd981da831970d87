#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs Tarvok under valgrind's memcheck (full leak check) on a short UCI game,
# a short XBoard game and each command-line tool, and reports every run whose
# log shows an error or leaked memory.
#
#   scripts/memcheck.sh [tarvok-binary]        default build/tarvok
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
engine=${1:-$root/build/tarvok}
[ -x "$engine" ] || { echo "memcheck.sh: no $engine" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "memcheck.sh: valgrind is missing" >&2; exit 2; }
# valgrind cannot decode AVX-512 instructions, which a build for this machine
# may contain.
if command -v objdump >/dev/null && objdump -d "$engine" | grep -qE '%zmm|%k[0-7]|%[xy]mm(1[6-9]|2[0-9]|3[01])'; then
    echo "memcheck.sh: $engine has AVX-512 instructions, which valgrind cannot run: build it with -DTARVOK_PORTABLE=ON" >&2
    exit 2
fi
data=$root/tests/data
work=$(mktemp -d /tmp/tarvok-memcheck-XXXXXX)
cd "$work" || exit 2
printf '[Engine]\nHash=8\n' > tarvok.ini

failed=0
# check NAME INPUT ARGS...: INPUT is fed on standard input.
check() {
    local name=$1 input=$2
    shift 2
    printf '%s' "$input" | valgrind --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all \
        --error-exitcode=99 --log-file="$work/$name.valgrind" "$engine" "$@" > "$work/$name.out" 2>&1
    local status=$?
    local summary
    summary=$(grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|All heap blocks" "$work/$name.valgrind" | sed 's/^==[0-9]*== //' | tr '\n' ';')
    if [ "$status" -eq 99 ] || ! grep -q "ERROR SUMMARY: 0 errors" "$work/$name.valgrind"; then
        echo "FAIL $name: $summary"
        failed=1
    else
        echo "ok   $name: $summary"
    fi
}

uci_game='uci
setoption name Hash value 8
setoption name Ponder value true
isready
ucinewgame
position startpos moves e2e4
go depth 5
position startpos moves e2e4 e7e5 g1f3
go wtime 2000 btime 2000 winc 50 binc 50
position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5
go ponder wtime 2000 btime 2000
ponderhit
position fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1
go movetime 200
perft 3
divide 2
stop
quit
'
xboard_game='xboard
protover 2
new
level 0 0:02 0.05
post
hard
e2e4
time 200
otim 200
e7e5
undo
setboard 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1
sd 4
go
force
analyze
e2e4
exit
new
perft 3
divide 2
quit
'
check uci "$uci_game"
check xboard "$xboard_game"
check perft "" -perft 4
check divide "" -divide 3 -fen "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
head -n 3 "$data/bk.epd" > three.epd
check testsuite "" -testsuite three.epd 1
check evalsuite "" -evalsuite "$data/bk.epd"
check buildbook 'uci
setoption name Book File value book.bin
setoption name OwnBook value true
position startpos
go depth 3
quit
' -buildbook "$data/games.pgn" book.bin 8 2
check help "" -help

echo "logs in $work"
exit $failed

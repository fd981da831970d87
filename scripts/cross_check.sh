#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds the Windows x86-64 and the Linux aarch64 engine from this
# machine and checks them against the Linux build: perft counts, fixed-depth
# search output and the bytes of a built book must be the same; the platform
# checks pass; the Windows engine, driven through pipes as GUIs start it,
# answers "stop", "?", "isready" and "ping" during a search, ends on "quit" or
# the end of its input during one, and reads a redirected file; the Windows
# ZIP holds the engine, README and LICENSE and the engine needs no DLL beyond
# Windows' own. Every run under Wine or qemu has a time limit, so a hang fails.
#
# Usage: scripts/cross_check.sh [LINUX_BUILD_DIR]   (default: build; its engine is built first)
# Needs g++-mingw-w64-x86-64-posix, wine64, g++-aarch64-linux-gnu and
# qemu-user (.ci/run installs them). Wine gets a prefix of its own under
# build-windows/ and no display.
set -euo pipefail
cd "$(dirname "$0")/.."
native_dir=${1:-build}
perft_positions=4
perft_depth=3
search_depth=7

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
command -v aarch64-linux-gnu-g++ >/dev/null || missing+=(g++-aarch64-linux-gnu)
command -v qemu-aarch64 >/dev/null || missing+=(qemu-user)
wine=$(command -v wine64 || command -v wine || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || true)
[ -n "$wine" ] || missing+=(wine64)
if [ ${#missing[@]} -gt 0 ]; then
  echo "cross_check: missing ${missing[*]} (apt-get install them)" >&2
  exit 1
fi

if [ ! -f "$native_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$native_dir" -DCMAKE_BUILD_TYPE=Release -DTARVOK_BUILD_TESTS=OFF -DTARVOK_BUILD_BENCH=OFF
fi
cmake --build "$native_dir" -j2 --target tarvok
native=$(cd "$native_dir" && pwd)/tarvok

for target in windows-x86_64 linux-aarch64; do
  cmake -S . -B "build-$target" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$target.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTARVOK_PORTABLE=ON -DTARVOK_BUILD_TESTS=OFF -DTARVOK_BUILD_BENCH=OFF >/dev/null
done
cmake --build build-windows-x86_64 -j2 --target tarvok platform_check pipe_session
cmake --build build-linux-aarch64 -j2 --target tarvok platform_check

export WINEPREFIX=${TARVOK_WINEPREFIX:-$PWD/build-windows-x86_64/wineprefix} WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
limit=300  # seconds for one run under Wine or qemu
run_windows() { timeout -k 10 "$limit" "$wine" "$@"; }
run_aarch64() { timeout -k 10 "$limit" qemu-aarch64 "$@"; }
run_native() { "$@"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Output lines of one engine run that must match across platforms: carriage
# returns of Windows' text mode, timing figures and the root-move lines that
# only a search longer than a second prints removed.
normalise() { tr -d '\r' | grep -v '^Time = \|currmove' | sed -E 's/ time [0-9]+//; s/ nps [0-9]+//'; }

# Runs one engine ($1: native, windows, aarch64) in folder $2 with the rest as
# arguments. Its exit status is not checked (1 after a tool or a session).
engine_in() {
  local kind=$1 folder=$2 binary
  shift 2
  case $kind in
    native) binary=$native ;;
    windows) binary=$PWD/build-windows-x86_64/tarvok.exe ;;
    aarch64) binary=$PWD/build-linux-aarch64/tarvok ;;
  esac
  (cd "$folder" && "run_$kind" "$binary" "$@") || true
}


# One UCI search to $search_depth of FEN $3 by engine $1 in folder $2.
search_one() {
  local fifo=$2/input answer=$2/answer
  rm -f "$fifo" && mkfifo "$fifo"
  engine_in "$1" "$2" <"$fifo" >"$answer" &
  exec 3>"$fifo"
  printf 'uci\nposition fen %s\ngo depth %d\n' "$3" "$search_depth" >&3
  for _ in $(seq 600); do grep -q '^bestmove' "$answer" && break; sleep 0.2; done
  printf 'quit\n' >&3
  exec 3>&-
  wait
  cat "$answer"
}

for kind in native windows aarch64; do
  folder=$work/$kind
  mkdir -p "$folder"
  head -n "$perft_positions" tests/data/perft.txt | cut -d';' -f1 | while read -r fen; do
    engine_in "$kind" "$folder" -perft "$perft_depth" -fen "$fen" </dev/null
  done | normalise >"$folder/perft.out"
  # Input stays open until the answer: a line or the end of input that
  # arrives during a search is acted on at once.
  head -n "$perft_positions" tests/data/perft.txt | cut -d';' -f1 | while read -r fen; do
    search_one "$kind" "$folder" "$fen"
  done | normalise >"$folder/search.out"
  engine_in "$kind" "$folder" -buildbook "$PWD/tests/data/games.pgn" book.bin 8 2 </dev/null >/dev/null
done

for kind in windows aarch64; do
  for output in perft.out search.out book.bin; do
    cmp -s "$work/native/$output" "$work/$kind/$output" || fail "$kind $output differs from the Linux build's"
  done
done
[ "$(grep -c '^ [0-9]\. ' "$work/native/perft.out")" -eq $((perft_positions * perft_depth)) ] || fail "perft rows missing"
[ "$(grep -c '^bestmove' "$work/native/search.out")" -eq "$perft_positions" ] || fail "search answers missing"
[ -s "$work/native/book.bin" ] || fail "no book built"

mkdir -p "$work/checks"
(cd "$work/checks" && run_windows "$OLDPWD/build-windows-x86_64/platform_check.exe") || fail "Windows platform checks"
(cd "$work/checks" && run_aarch64 "$OLDPWD/build-linux-aarch64/platform_check") || fail "aarch64 platform checks"
for session in uci xboard; do
  run_windows build-windows-x86_64/pipe_session.exe build-windows-x86_64/tarvok.exe \
    "tests/data/cross/${session}_session.txt" || fail "Windows $session session through pipes"
done
# Standard input redirected from a file, as scripts run it.
printf 'uci\nisready\nposition startpos moves e2e4\ngo depth 5\n' >"$work/commands.txt"
engine_in windows "$work/checks" <"$work/commands.txt" | tr -d '\r' >"$work/redirected.out"
for answer in uciok readyok bestmove; do
  grep -q "^$answer" "$work/redirected.out" || fail "Windows engine reading a file: no $answer"
done

# The engine needs no DLL beyond Windows' own, and the ZIP holds what users need.
dlls=$(x86_64-w64-mingw32-objdump -p build-windows-x86_64/tarvok.exe | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "Windows DLLs: $(echo $dlls)"
for dll in $dlls; do
  case $dll in
    kernel32.dll | msvcrt.dll | api-ms-win-*.dll | ucrtbase.dll | advapi32.dll | user32.dll) ;;
    *) fail "tarvok.exe needs $dll" ;;
  esac
done
(cd build-windows-x86_64 && cpack -G ZIP >/dev/null)
zip=$(ls build-windows-x86_64/tarvok-*.zip)
listing=$(cmake -E tar tf "$zip")
folder=tarvok-1.4-windows-x86_64
[ "$(sort <<<"$listing")" = "$(printf "$folder/%s\n" LICENSE README.md tarvok.exe)" ] ||
  fail "$zip holds $(echo $listing), not $folder/ with tarvok.exe, README.md and LICENSE"

echo "cross checks: $failures failed"
[ "$failures" -eq 0 ]

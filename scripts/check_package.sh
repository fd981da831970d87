#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the portable engine in its own build folder, then checks what ships:
# the manual page renders without warnings, `cmake --install` and the Debian
# package made by `cpack -G DEB` hold exactly the expected files, the package
# declares its dependencies, and lintian (when installed) finds no error or
# warning in it. With --install (as root) it also installs
# the package, asks /usr/games/tarvok for "uci" and "xboard", removes the
# package and checks that nothing is left behind.
#
# Usage: scripts/check_package.sh [--install] [BUILD_DIR]   (default build-package)
set -euo pipefail

install_check=0
if [ "${1:-}" = "--install" ]; then
    install_check=1
    shift
fi
repo_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$repo_dir/build-package}
work_dir=$(mktemp -d)
trap 'rm -rf "$work_dir"' EXIT

fail() {
    echo "check_package: $*" >&2
    exit 1
}

# The files of an install, relative to its prefix, one a line and sorted.
expected_files() {
    local bin_dir=$1 manual_page=$2
    shift 2
    printf '%s\n' "$bin_dir/tarvok" "share/doc/tarvok/README.md" "share/man/man6/$manual_page" "$@" | sort
}

compare_lists() {
    local what=$1 expected=$2 actual=$3
    if ! diff -u "$expected" "$actual"; then
        fail "$what: file list differs from the expected one (- expected, + found)"
    fi
}

warnings=$(groff -ww -man -Tutf8 "$repo_dir/doc/tarvok.6" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "manual page warnings: $warnings"

cmake -S "$repo_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTARVOK_PORTABLE=ON \
    -DTARVOK_BUILD_TESTS=OFF -DTARVOK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j2 >/dev/null

cmake --install "$build_dir" --prefix "$work_dir/prefix" >/dev/null
expected_files games tarvok.6 share/doc/tarvok/LICENSE >"$work_dir/expected-install"
(cd "$work_dir/prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work_dir/installed"
compare_lists "cmake --install" "$work_dir/expected-install" "$work_dir/installed"

# The generic x86-64 target has no popcount instruction; a binary that uses it
# was built for a newer processor than the package promises.
! objdump -d "$build_dir/tarvok" | grep -qw popcnt || fail "the packaged binary is not portable (popcnt found)"
rm -f "$build_dir"/tarvok_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
package=$(ls "$build_dir"/tarvok_1.4_*.deb)
# Debian packages carry the manual page gzipped, and a copyright file and a
# changelog in place of the licence text.
expected_files games tarvok.6.gz share/doc/tarvok/copyright share/doc/tarvok/changelog.gz | sed 's|^|usr/|' >"$work_dir/expected-package"
dpkg-deb -c "$package" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort >"$work_dir/packaged"
compare_lists "$package" "$work_dir/expected-package" "$work_dir/packaged"
for field in Package:tarvok Version:1.4 Section:games; do
    value=$(dpkg-deb -f "$package" "${field%%:*}")
    [ "$value" = "${field#*:}" ] || fail "${field%%:*} is '$value', expected '${field#*:}'"
done
dpkg-deb -f "$package" Depends | grep -q 'libc6' || fail "no computed dependencies"
echo "check_package: $package holds the expected files"
if command -v lintian >/dev/null 2>&1; then
    lintian_args=(--fail-on error,warning)
    [ "$(id -u)" != 0 ] || lintian_args+=(--allow-root)
    lintian "${lintian_args[@]}" "$package" || fail "lintian reports errors or warnings"
    echo "check_package: lintian finds no error or warning"
else
    echo "check_package: lintian not installed; its check skipped"
fi

[ "$install_check" = 1 ] || exit 0
if dpkg -s tarvok >/dev/null 2>&1; then
    echo "check_package: a tarvok package is already installed; install check skipped"
    exit 0
fi
dpkg -i "$package" >/dev/null
trap 'dpkg -r tarvok >/dev/null 2>&1 || true; rm -rf "$work_dir"' EXIT
# Runs the installed engine on the given input; it ends with status 1.
ask_engine() {
    local status=0
    printf "$1" | /usr/games/tarvok >"$work_dir/answer" || status=$?
    [ "$status" = 1 ] || fail "installed engine ended with status $status"
}
ask_engine 'uci\nquit\n'
grep -qx uciok "$work_dir/answer" || fail "installed engine gave no uciok"
ask_engine 'xboard\nprotover 2\nquit\n'
grep -q '^feature .*done=1' "$work_dir/answer" || fail "installed engine sent no feature line"
# A search to its end (the end of input would abort it, hence the pause).
{ printf 'uci\nposition startpos\ngo depth 5\n'; sleep 2; printf 'quit\n'; } | /usr/games/tarvok >"$work_dir/answer" || true
grep -q '^bestmove ' "$work_dir/answer" || fail "installed engine gave no bestmove"
dpkg -r tarvok >/dev/null
for file in $(sed 's|^|/|' "$work_dir/expected-package") /usr/share/doc/tarvok; do
    [ ! -e "$file" ] || fail "$file left behind by dpkg -r"
done
echo "check_package: installed, answered uci and xboard, removed cleanly"

#!/usr/bin/env bash
# Every command and option that the command line parser declares is in the man page and offered
# by the bash completion, so neither falls behind when the command grows.
# usage: options-documented.sh COMMAND_DIR MAN_PAGE COMPLETION
# (COMMAND_DIR: the folder whose C++ files declare the commands and their options)
set -euo pipefail
dir=$1 man=$2 completion=$3
sources=("$dir"/*.cpp)

options=$(cat "${sources[@]}" | grep -o '"--[a-z0-9][a-z0-9-]*' | tr -d '"' | sort -u)
# add_subcommand( and its name may stand on two lines.
commands=$(cat "${sources[@]}" | tr '\n' ' ' | grep -o 'add_subcommand(\s*"[a-z]*"' | sed 's/.*"\(.*\)"/\1/' | sort -u)
[ -n "$options" ] && [ -n "$commands" ] || { echo "FAIL: nothing parsed from $dir" >&2; exit 1; }

failures=0
for o in $options; do
  # The man page writes each hyphen as \-.
  grep -qF -- "${o//-/\\-}" "$man" || { echo "FAIL: $o is not in the man page" >&2; failures=$((failures + 1)); }
  grep -qE -- "(^|[ '|])$o([ '|)]|\$)" "$completion" ||
    { echo "FAIL: $o is not in the completion" >&2; failures=$((failures + 1)); }
done
for c in $commands; do
  grep -qE "^\.B[RI]? .*\b$c\b" "$man" || { echo "FAIL: command $c is not in the man page" >&2; failures=$((failures + 1)); }
  grep -qE "compgen -W '[^']*\b$c\b" "$completion" ||
    { echo "FAIL: command $c is not offered by the completion" >&2; failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ] || exit 1
echo "$(wc -w <<<"$options") options and $(wc -w <<<"$commands") commands in the man page and the completion"

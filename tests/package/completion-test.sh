#!/usr/bin/env bash
# The bash completion of tovrasat: what a Tab offers after each command line of a table, with user
# presets and files of a scratch folder. The completion asks the command for the preset folder, so
# the built command comes first on PATH.
# usage: completion-test.sh COMPLETION_SCRIPT TOVRASAT
set -uo pipefail

completion=$1
PATH=$(dirname "$2"):$PATH
source /usr/share/bash-completion/bash_completion || exit 1
source "$completion" || exit 1

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tovrasat-completion-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/data/TovraSat/Presets/Deleted" "$scratch/files/songs"
touch "$scratch/data/TovraSat/Presets/Warm.tovrapreset" \
  "$scratch/data/TovraSat/Presets/Warm Bus.tovrapreset" \
  "$scratch/files/mix.wav" "$scratch/files/take.flac" "$scratch/files/notes.txt" \
  "$scratch/files/song.mp3" "$scratch/files/voice.opus" \
  "$scratch/files/shot.png" "$scratch/data/TovraSat/Presets/Deleted/Old Tape.tovrapreset"
export XDG_DATA_HOME=$scratch/data
cd "$scratch/files" || exit 1

# The words offered for LINE (completing its last word; a trailing space starts a new one),
# sorted and joined by '|'.
offered() {
  COMP_LINE=$1
  COMP_POINT=${#COMP_LINE}
  read -ra COMP_WORDS <<<"$COMP_LINE"
  [[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tovrasat
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd'|'
}

failures=0
while IFS=';' read -r line expected; do
  [ -n "$line" ] || continue
  got=$(offered "$line")
  expected=$(tr '|' '\n' <<<"$expected" | sort | paste -sd'|')
  if [ "$got" != "$expected" ]; then
    echo "FAIL: [$line] offers '$got', expected '$expected'" >&2
    failures=$((failures + 1))
  fi
done <<'EOF'
tovrasat ;demo|editor|help|info|presets|render|snapshot
tovrasat --c;--component
tovrasat --component /x pr;presets
tovrasat presets ;delete|list|restore|save|show
tovrasat presets show ;Default|Warm|'Warm Bus'
tovrasat presets delete W;Warm|'Warm Bus'
tovrasat presets restore ;'Old Tape'
tovrasat presets save --;--component|--help|--gain|--trim|--48v
tovrasat presets list --;--component|--help
tovrasat render --in;--in-gain
tovrasat render --no;--no-dither
tovrasat render mix.wav out.wav --48v ;off|on
tovrasat render mix.wav --bypass o;off|on
tovrasat render mix.wav --format ;f32|s16|s24
tovrasat render mix.wav --type ;aiff|au|caf|flac|ogg|rf64|w64|wav
tovrasat render mix.wav --oversample ;1|2|4|8
tovrasat render mix.wav --preset ;Default|Warm|'Warm Bus'
tovrasat render mix.wav --preset Wa;Warm|'Warm Bus'
tovrasat render mix.wav --gain ;
tovrasat render --in-gain 3 ;mix.wav|song.mp3|songs|take.flac|voice.opus
tovrasat render --out-dir ;songs
tovrasat render -- --g;
tovrasat snapshot ;shot.png|songs
tovrasat snapshot shot.png --scale ;1|1.25|1.5|1.75
tovrasat snapshot shot.png --me;--meter-db
tovrasat editor ;mix.wav|song.mp3|songs|take.flac|voice.opus
tovrasat editor mix.wav --;--component|--help|--no-audio|--out|--scale
tovrasat demo ;songs
tovrasat info --;--component|--help|--hq
EOF
[ "$failures" -eq 0 ] || exit 1
echo "bash completion: every case offers what it should"

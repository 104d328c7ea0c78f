#!/usr/bin/env bash
# Every command form and every option or command entry a program's --help shows is on its
# manual page as `man -l` shows it.
#   man_page_test.sh PAGE PROGRAM [ARGS...]
set -euo pipefail
page=$1
shift
help=$("$@" --help)

# Formatting stripped and blanks folded, so that a form wrapped over two lines still matches.
fold() {
  sed -e 's/.\x08//g' -e 's/\x1b\[[0-9;]*m//g' | tr -s '[:space:]' ' ' | sed -e 's/^ //' -e 's/ $//'
}
shown=" $(MANWIDTH=80 man -l "$page" 2>/dev/null | fold) "

# The forms after "usage:" and the lines under it that start with the program's name; the
# entries (lines indented by two blanks) up to the blanks between the entry and its text.
program=$(sed -n 's/^usage: \([^ ]*\).*/\1/p' <<<"$help" | head -n 1)
forms=$(awk -v program="$program" '
  /^usage: / { sub(/^usage: /, ""); print; under = 1; next }
  under && $1 == program { sub(/^ +/, ""); print; next }
  { under = 0 }
  /^  [^ ]/ { sub(/^  /, ""); sub(/  .*/, ""); print }' <<<"$help")

checked=0
missing=0
while IFS= read -r form; do
  checked=$((checked + 1))
  if [[ "$shown" != *" $(fold <<<"$form") "* ]]; then
    echo "not on $page: $form"
    missing=$((missing + 1))
  fi
done <<<"$forms"
echo "$page: $((checked - missing)) of $checked forms of $program --help shown"
((checked > 0 && missing == 0))

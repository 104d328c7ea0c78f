#!/usr/bin/env bash
# The bash completion offers the commands, second words, options and option values that
# viduzaver-cli --help shows.
#   completion_test.sh COMPLETION_FILE VIDUZAVER_CLI
set -euo pipefail
# shellcheck source=/dev/null
source "$1"
help=$("$2" --help)

failed=0
complete -p viduzaver-cli
[[ "$(complete -p viduzaver-cli)" == "complete -F _viduzaver_cli viduzaver-cli" ]] || failed=1

# What completing the last of the words offers, sorted on one line.
offers() {
  COMP_WORDS=(viduzaver-cli "$@")
  COMP_CWORD=$#
  _viduzaver_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort -u | xargs
}
# Usage lines of the help, without the program name.
forms() { sed -n 's/^  viduzaver-cli //p' <<<"$help"; }
words() { tr ' ' '\n' | sort -u | xargs; }
# The values of an option or argument as the help writes them ("[--format table|csv|json]").
values() { tr -d '[]' | tr '|' ' ' | words; }

check() {
  local expected=$1 got
  shift
  got=$(offers "$@")
  echo "viduzaver-cli $* <TAB>: $got"
  if [[ "$got" != "$expected" ]]; then
    echo "  expected: $expected"
    failed=1
  fi
}

check "$( (forms | awk '{print $1}'; echo help --help --version) | words)" ""
check "$(forms | awk '$1 == "set" {print $2}' | words)" set ""
check "$(forms | awk '$1 == "set" && $2 == "language" {print $3}' | values)" set language ""
check "$(forms | awk '$1 == "search"' | grep -o -- '--format [^ ]*' | sed 's/--format //' |
  values)" search --format ""
check "$( (forms | awk '$1 == "search"' | grep -o -- '--[a-z0-9-]*'; echo --help) | words)" \
  search --
exit "$failed"

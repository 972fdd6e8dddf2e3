#!/usr/bin/env bash
# Opens game sources in Vim with the built syntax files on 'runtimepath' and
# checks the groups of chosen words (highlight.vim, one checks table per source).
#   vim_colours.sh EDITORS_FOLDER SOURCE CHECKS [SOURCE CHECKS ...]
# CHECKS: a JSON list of [line start, word, Vim group, TextMate scope].
# Exit status 77 (skipped) without a Vim that has syntax colouring.
set -u
editors=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v vim >/dev/null || ! vim -Nu NONE -i NONE -es -c 'if has("syntax") | qall! | endif' -c 'cquit!' </dev/null; then
  echo "vim_colours: no Vim with syntax colouring, skipped"
  exit 77
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
status=0
while [ $# -ge 2 ]; do
  source_file=$1 checks=$2
  shift 2
  : >"$report"
  if ! vim -Nu NONE -i NONE -n -es --cmd "set runtimepath^=$editors/vim" -c 'filetype on' -c 'syntax on' \
         -c "let g:checks = '$checks'" -c "let g:report = '$report'" -c "edit $source_file" -c "source $here/highlight.vim" </dev/null; then
    cat "$report"
    [ -s "$report" ] || echo "vim_colours: Vim failed on $source_file"
    status=1
  fi
done
exit $status

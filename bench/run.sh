#!/usr/bin/env bash
# Runs the benchmarks, each against its reference tool in the same run, and prints one table at the end.
# The long documents are built once from a real TeX-made PDF (see make-book.sh) into VMK_BENCH_BOOKS: set
# VMK_BENCH_SOURCE to one (default: bench/data/source.pdf). Books already in VMK_BENCH_BOOKS are used even
# without a source; with neither, each benchmark falls back to its own generated file.
# VMK_BENCH_PAIRS sets the pairs each comparison runs (at least 3); VMK_BENCH_ONLY a pattern of benchmark
# names to run (default: every one).
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
source_pdf=${VMK_BENCH_SOURCE:-$here/data/source.pdf}
books=${VMK_BENCH_BOOKS:-${XDG_CACHE_HOME:-$HOME/.cache}/vellumark-bench}
only=${VMK_BENCH_ONLY:-.}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

small=() ; big=()
have_books() { [ -s "$books/book-117.pdf" ] && [ -s "$books/book-1053.pdf" ] && [ -s "$books/book-5265.pdf" ]; }
# Books already built (by an earlier run, or shared between checkouts) are used as they are: the source
# is needed only to build them.
if ! have_books && [ -s "$source_pdf" ]; then
  bash "$here/make-book.sh" "$source_pdf" "$books"
  [ -s "$books/book-117.pdf" ] || qpdf --empty --pages "$books/book-1053.pdf" 1-117 -- "$books/book-117.pdf"
fi
if have_books; then
  small=("$books/book-1053.pdf"); big=("$books/book-5265.pdf")
  echo "books: $books"
else
  echo "books: none in $books and no source PDF; each benchmark uses its own generated file"
fi

run() { # name, arguments...
  local name=$1; shift
  [[ $name =~ $only ]] || return 0
  [ -x "$build/bin/$name" ] || return 0
  echo "== $name $*"
  "$build/bin/$name" "$@" 2>/dev/null | tee -a "$log" || echo "$name failed" | tee -a "$log"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
if [ ${#small[@]} -gt 0 ]; then
  run bench_render "$books/book-117.pdf"
  run bench_canvas_open "${small[0]}" "${big[0]}"
  run bench_save "${small[0]}" "${big[0]}"
  run bench_search "${small[0]}" "acknowledgments"
  run bench_page_grid "${small[0]}"
else
  run bench_render
  run bench_canvas_open
  run bench_save
  run bench_search
  run bench_page_grid
fi
for b in "$build"/bin/bench_*; do
  name=$(basename "$b")
  case $name in bench_render|bench_canvas_open|bench_save|bench_search|bench_page_grid) continue ;; esac
  run "$name"
done

echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
{
  echo "what|ours wall s|ours CPU s|reference|ref wall s|ref CPU s|ratio wall|ratio CPU|goal|note"
  grep '^TABLE|' "$log" | cut -d'|' -f2-
} | column -t -s'|'

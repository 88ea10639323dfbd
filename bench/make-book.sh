#!/usr/bin/env bash
# Builds the benchmarks' long documents from one real TeX-made PDF (text, figures, Type 1 and TrueType
# fonts): a "book" of 117 pages alternating the source as it is and as Ghostscript rewrites it (its fonts
# become CFF), then that book nine times (1,053 pages) and forty-five times (5,265 pages). The copies are
# separate files for qpdf, so every copy keeps resources of its own, as in a book bound from chapters.
#
# Usage: make-book.sh SOURCE.pdf OUTDIR   -> OUTDIR/book-1053.pdf and OUTDIR/book-5265.pdf
set -euo pipefail
source=$1
out=$2
mkdir -p "$out"
[ -s "$out/book-1053.pdf" ] && [ -s "$out/book-5265.pdf" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source" "$work/a.pdf"
gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile="$work/b.pdf" "$source"
n=$(qpdf --show-npages "$work/a.pdf")
# 117 pages: whole copies, alternating, then the first pages of the next one.
args=()
left=117
i=0
while [ "$left" -gt 0 ]; do
  take=$(( left < n ? left : n ))
  cp "$work/$([ $((i % 2)) -eq 0 ] && echo a || echo b).pdf" "$work/part$i.pdf"
  args+=("$work/part$i.pdf" "1-$take")
  left=$((left - take))
  i=$((i + 1))
done
qpdf --empty --pages "${args[@]}" -- "$work/book.pdf"
bind() { # copies output
  local copies=$1 target=$2 list=()
  for k in $(seq 1 "$copies"); do
    cp "$work/book.pdf" "$work/copy$k.pdf"
    list+=("$work/copy$k.pdf")
  done
  qpdf --empty --pages "${list[@]}" -- "$target"
  rm -f "$work"/copy*.pdf
}
bind 9 "$out/book-1053.pdf"
bind 45 "$out/book-5265.pdf"

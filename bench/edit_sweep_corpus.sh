#!/usr/bin/env bash
# Makes the corpus of the edit sweep (bench_edit_sweep): public PDFs from pdf.js's test files (each under its
# own licence, see the pdf.js repository), chosen for their producers and font kinds, and typeset pages made
# here with groff and Ghostscript (Type 1C fonts; justified paragraphs and a contents list).
#
# Usage: bench/edit_sweep_corpus.sh <a git directory of github.com/mozilla/pdf.js> <output folder>
# then:  build/bin/bench_edit_sweep <output folder>/list.txt
set -euo pipefail
repo=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
: > "$out/list.txt"
grep -v '^#' "$here/edit_sweep_files.txt" | while IFS=$'\t' read -r name pages; do
  [ -n "$name" ] || continue
  git --git-dir="$repo" show "HEAD:test/pdfs/$name" > "$out/$name"
  printf '%s\t%s\n' "$name" "${pages:-5}" >> "$out/list.txt"
done
python3 - "$out/typeset.tr" <<'PY'
import random, sys
random.seed(7)
words = ("lorem ipsum dolor sit amet consetetur sadipscing elitr sed diam nonumy eirmod tempor invidunt labore "
         "dolore magna aliquyam erat voluptua vero eos accusam justo duo dolores rebum clita kasd gubergren "
         "takimata sanctus est").split()
def para(n):
    s = " ".join(random.choice(words) for _ in range(n))
    return s[0].upper() + s[1:] + "."
out = [".ll 6i", ".po 1i", ".ps 11", ".vs 13", ".ft B", ".ce", "A Sample of Typeset Pages", ".ft R", ".sp 2",
       ".ft B", "Contents", ".ft R", ".sp", ".nf", ".ta 5iR"]
for i in range(1, 10):
    out.append(f"{i}. {random.choice(words).capitalize()} {random.choice(words)}\t{i*3}")
out += [".fi", ".sp"]
for sec in range(1, 10):
    out += [".sp", ".ft B", f"{sec}. {random.choice(words).capitalize()} {random.choice(words)}", ".ft R", ".br"]
    for p in range(3):
        out += [".ti 2m", para(70), ".br"]
open(sys.argv[1], "w").write("\n".join(out) + "\n")
PY
groff -Tps "$out/typeset.tr" > "$out/typeset.ps"
ps2pdf "$out/typeset.ps" "$out/typeset-cff.pdf"
qpdf --rotate=+90 "$out/typeset-cff.pdf" "$out/typeset-cff-turned.pdf"
printf 'typeset-cff.pdf\t4\ntypeset-cff-turned.pdf\t2\n' >> "$out/list.txt"
rm -f "$out/typeset.tr" "$out/typeset.ps"

#!/usr/bin/env python3
"""Runs a folder of outside PDF files (public test suites, files users sent) through the application the
way the fuzz check runs its mutants: each file is opened, drawn, annotated, saved and reopened by
vmk_fuzz_target, and, with --probe, shown in the real window by vmk_window_probe, which pages through it
while the pointer moves and reports the longest time the window did not answer. Not part of the test
suite: the files are not ours to ship.

    corpuscheck.py [--target build/bin/vmk_fuzz_target] [--probe build/bin/vmk_window_probe] FILE...

With --qpdf, a saved copy of an input that qpdf --check passes must pass it too. With --outcomes FILE,
each file's outcome (shown, refused, saved, save refused ...) is written there, one line per file.

Prints one line per crash, hang, refused save, save that lost the edits just made, saved copy that qpdf
finds damaged, or stall, then a summary. A stall is a gap over --stall-ms
while the file's window is up, or an opening that held the window --stall-ms longer than a plain one-page
file's does (measured at the start of the run: building any window takes its time).
"""
import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

PROBE_LINE = re.compile(rb"stall (\d+) ms \(([^)]*)\), opening (\d+) ms \(([^)]*)\)")


def plain_pdf():
    """One page of text, for the measure of what opening any file costs the window."""
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
               b" /Resources << /Font << /F1 5 0 R >> >> >>",
               None,
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    content = b"BT /F1 24 Tf 72 700 Td (A plain page) Tj ET"
    objects[3] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content)
    out, offsets = bytearray(b"%PDF-1.4\n"), []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def probe(path, args, env):
    """(failure, stall ms, its detail, opening ms, its detail)"""
    failure, detail, _ = run([args.probe, path, str(args.probe_seconds)], args.probe_seconds + 30, env)
    found = PROBE_LINE.search(detail or b"")
    if failure or not found:
        return failure or "gave no answer", 0, "", 0, ""
    return (None, int(found.group(1)), found.group(2).decode(), int(found.group(3)), found.group(4).decode())


def run(command, timeout, env):
    start = time.monotonic()
    try:
        proc = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout, env=env)
    except subprocess.TimeoutExpired:
        return "hang (over %d s)" % timeout, b"", time.monotonic() - start
    if proc.returncode == 3:  # the target's verdict on a save that lost the edits
        return proc.stdout.strip().decode(errors="replace"), b"", time.monotonic() - start
    if proc.returncode != 0:
        how = "signal %d" % -proc.returncode if proc.returncode < 0 else "exit code %d" % proc.returncode
        return "crash (%s)" % how, proc.stderr[-2000:], time.monotonic() - start
    return None, proc.stdout.strip(), time.monotonic() - start


def qpdf_clean(path):
    try:
        return subprocess.run(["qpdf", "--check", path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=120).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def check(path, args, work, env):
    out = tempfile.mkdtemp(dir=work)
    problems = []
    try:
        outcome = "shown"
        if args.target:
            failure, detail, _ = run([args.target, path, out], args.timeout, env)
            if failure:
                problems.append("%s: %s" % (failure, detail.decode(errors="replace")[-500:].replace("\n", " | ")))
            elif detail.startswith(b"save refused"):
                problems.append(detail.decode(errors="replace"))
            outcome = "failed" if failure else detail.split(b":")[0].decode(errors="replace")
            saved = os.path.join(out, os.path.splitext(os.path.basename(path))[0] + "-saved.pdf")
            if args.qpdf and outcome == "saved" and qpdf_clean(path):
                if not qpdf_clean(saved):
                    problems.append("saved copy fails qpdf --check, the input passes")
        if args.probe:
            failure, stall, stall_detail, opening, opening_detail = probe(path, args, env)
            if failure:
                problems.append("window %s" % failure)
            if stall > args.stall_ms:
                problems.append("window did not answer for %d ms (%s)" % (stall, stall_detail))
            if opening > args.opening_ms + args.stall_ms:
                problems.append("opening held the window %d ms (%s; a plain file's %d ms)"
                                % (opening, opening_detail, args.opening_ms))
    finally:
        shutil.rmtree(out, ignore_errors=True)
    return path, outcome, problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--target")
    parser.add_argument("--probe")
    parser.add_argument("--probe-seconds", type=int, default=6)
    parser.add_argument("--stall-ms", type=int, default=500)
    parser.add_argument("--timeout", type=int, default=60)
    parser.add_argument("--qpdf", action="store_true", help="check saved copies with qpdf --check")
    parser.add_argument("--jobs", type=int, default=min(3, os.cpu_count() or 1))
    parser.add_argument("--outcomes", help="write each file's outcome to this file")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="vmk-corpus-")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", OMP_THREAD_LIMIT="1")
    for var in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"):
        env[var] = os.path.join(work, "home", var.lower())
        os.makedirs(env[var], mode=0o700)
    if args.probe:
        # What opening a plain file holds the window, the middle of three runs.
        plain = os.path.join(work, "plain.pdf")
        with open(plain, "wb") as f:
            f.write(plain_pdf())
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            openings = sorted(r[3] for r in pool.map(lambda _: probe(plain, args, env), range(3)))
        args.opening_ms = openings[1]
        print("a plain file's opening holds the window %d ms" % args.opening_ms, flush=True)
    outcomes, faulty = {}, 0
    listing = open(args.outcomes, "w") if args.outcomes else None
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for path, outcome, problems in pool.map(lambda p: check(p, args, work, env), args.files):
            outcomes[outcome] = outcomes.get(outcome, 0) + 1
            if listing:
                print("%s\t%s" % (outcome, path), file=listing, flush=True)
            for problem in problems:
                print("%s: %s" % (path, problem), flush=True)
            faulty += bool(problems)
    if listing:
        listing.close()
    shutil.rmtree(work, ignore_errors=True)
    print("corpus check: %d files, %d with problems; %s" % (len(args.files), faulty,
          ", ".join("%d %s" % (n, k) for k, n in sorted(outcomes.items()))))
    return 1 if faulty else 0


if __name__ == "__main__":
    sys.exit(main())

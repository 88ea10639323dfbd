#!/usr/bin/env python3
"""Runs a folder of outside PDF files (public test suites, files users sent) through the application the
way the fuzz check runs its mutants: each file is opened, drawn, annotated, saved and reopened by
vmk_fuzz_target, and, with --probe, shown in the real window by vmk_window_probe, which pages through it
while the pointer moves and reports the longest time the window did not answer. Not part of the test
suite: the files are not ours to ship.

    corpuscheck.py [--target build/bin/vmk_fuzz_target] [--probe build/bin/vmk_window_probe] FILE...

With --qpdf, a saved copy of an input that qpdf --check passes must pass it too.

Prints one line per crash, hang, refused save, save that lost the edits just made, saved copy that qpdf
finds damaged, or stall over --stall-ms, then a summary.
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
            failure, detail, _ = run([args.probe, path, str(args.probe_seconds)], args.probe_seconds + 30, env)
            stall = re.match(rb"stall (\d+) ms", detail or b"")
            if failure:
                problems.append("window %s" % failure)
            elif stall and int(stall.group(1)) > args.stall_ms:
                problems.append("window did not answer for %s ms" % stall.group(1).decode())
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
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="vmk-corpus-")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", OMP_THREAD_LIMIT="1")
    for var in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"):
        env[var] = os.path.join(work, "home", var.lower())
        os.makedirs(env[var], mode=0o700)
    outcomes, faulty = {}, 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for path, outcome, problems in pool.map(lambda p: check(p, args, work, env), args.files):
            outcomes[outcome] = outcomes.get(outcome, 0) + 1
            for problem in problems:
                print("%s: %s" % (path, problem), flush=True)
            faulty += bool(problems)
    shutil.rmtree(work, ignore_errors=True)
    print("corpus check: %d files, %d with problems; %s" % (len(args.files), faulty,
          ", ".join("%d %s" % (n, k) for k, n in sorted(outcomes.items()))))
    return 1 if faulty else 0


if __name__ == "__main__":
    sys.exit(main())

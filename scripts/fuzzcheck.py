#!/usr/bin/env python3
"""The fuzz check: hostile mutants of files the test fixtures make, each opened, rendered, annotated and
saved by vmk_fuzz_target in a child process under a time limit. A crash or a hang fails the check; the
offending inputs stay in WORK/failed for reproduction (run the target on them by hand).

The set is fixed: the same seed makes the same mutations every time, nothing is downloaded.

    fuzzcheck.py --target build/bin/vmk_fuzz_target --work /tmp/fuzz [--per-seed 20] [--seed 12]
"""
import argparse
import concurrent.futures
import os
import random
import re
import shutil
import subprocess
import sys
import time

# Values that have taken readers down: counts and sizes far beyond the file, negative and empty ones.
HOSTILE_NUMBERS = [b"9999999999", b"1000000", b"100000000", b"-1", b"0", b"2147483648", b"1e30",
                   b"-2147483649", b"4294967295", b"0.0000001", b"65535"]
NUMBER = re.compile(rb"(?<![\w.])-?\d+(?:\.\d+)?(?![\w.])")
NAME = re.compile(rb"/[A-Za-z]+")
NESTING = 3000


def flip_bytes(data, rng):
    out = bytearray(data)
    for _ in range(rng.randint(1, 12)):
        out[rng.randrange(len(out))] = rng.randrange(256)
    return bytes(out)


def cut_chunk(data, rng):
    start = rng.randrange(len(data))
    return data[:start] + data[start + rng.randint(1, 400):]


def repeat_chunk(data, rng):
    start = rng.randrange(len(data))
    chunk = data[start:start + rng.randint(1, 200)]
    at = rng.randrange(len(data))
    return data[:at] + chunk * rng.randint(1, 20) + data[at:]


def truncate(data, rng):
    return data[:rng.randrange(max(1, len(data)))]


def hostile_number(data, rng):
    numbers = list(NUMBER.finditer(data))
    if not numbers:
        return flip_bytes(data, rng)
    chosen = rng.sample(numbers, min(len(numbers), rng.randint(1, 3)))
    # From the back, so that earlier offsets stay right.
    for match in sorted(chosen, key=lambda m: m.start(), reverse=True):
        data = data[:match.start()] + rng.choice(HOSTILE_NUMBERS) + data[match.end():]
    return data


def lying_count(data, rng):
    return re.sub(rb"/Count\s+\d+", b"/Count " + rng.choice(HOSTILE_NUMBERS), data)


def broken_boxes(data, rng):
    replacement = rng.choice([b"", b"[0 0 0 0]", b"[0 0 1e30 1e30]", b"[0 0 4294967295 4294967295]", b"(box)",
                              b"[0 0 612]", b"[-1e9 -1e9 1e9 1e9]"])
    return re.sub(rb"/(MediaBox|CropBox)\s*\[[^\]]*\]", lambda m: b"/" + m.group(1) + b" " + replacement
                  if replacement else b"", data)


def empty_names(data, rng):
    names = list(NAME.finditer(data))
    if not names:
        return data
    match = rng.choice(names)
    return data[:match.start()] + b"/ 15 " + data[match.start():]


def deep_nesting(data, rng):
    opener, closer = rng.choice([(b"[", b"]"), (b"<< /A ", b">>")])
    at = data.find(b"<<", rng.randrange(len(data)))
    if at < 0:
        at = data.find(b"<<")
    if at < 0:
        return data
    return data[:at + 2] + b" /Deep " + opener * NESTING + closer * NESTING + b" " + data[at + 2:]


def cyclic_kids(data, rng):
    return re.sub(rb"/Kids\s*\[", b"/Kids [1 0 R 2 0 R ", data, count=1)


MUTATIONS = [flip_bytes, cut_chunk, repeat_chunk, truncate, hostile_number, lying_count, broken_boxes,
             empty_names, deep_nesting, cyclic_kids]


def make_mutants(seeds_dir, mutants_dir, per_seed, seed):
    os.makedirs(mutants_dir, exist_ok=True)
    paths = []
    for index, name in enumerate(sorted(os.listdir(seeds_dir))):
        with open(os.path.join(seeds_dir, name), "rb") as f:
            original = f.read()
        for n in range(per_seed):
            rng = random.Random(seed * 100003 + index * 1009 + n)
            data = original
            # Every mutation at least once per seed, then mixtures of two or three.
            steps = [MUTATIONS[n]] if n < len(MUTATIONS) else rng.sample(MUTATIONS, rng.randint(2, 3))
            for mutate in steps:
                if data:
                    data = mutate(data, rng)
            path = os.path.join(mutants_dir, "%s-%02d.pdf" % (os.path.splitext(name)[0], n))
            with open(path, "wb") as f:
                f.write(data)
            paths.append(path)
    return paths


def run_one(target, path, out_dir, timeout, env):
    start = time.monotonic()
    try:
        proc = subprocess.run([target, path, out_dir], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=timeout, env=env)
    except subprocess.TimeoutExpired:
        return path, "hang (over %d s)" % timeout, b"", time.monotonic() - start
    elapsed = time.monotonic() - start
    if proc.returncode != 0:
        how = "signal %d" % -proc.returncode if proc.returncode < 0 else "exit code %d" % proc.returncode
        return path, "crash (%s)" % how, proc.stderr[-3000:], elapsed
    return path, None, proc.stdout.strip(), elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--target", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--per-seed", type=int, default=20)
    parser.add_argument("--seed", type=int, default=12)
    parser.add_argument("--timeout", type=int, default=30)
    parser.add_argument("--jobs", type=int, default=min(4, os.cpu_count() or 1))
    args = parser.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    seeds, mutants, out, failed = (os.path.join(args.work, d) for d in ("seeds", "mutants", "out", "failed"))
    for d in (out, failed):
        os.makedirs(d)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", OMP_THREAD_LIMIT="1")
    # Settings, caches and sockets of the children stay inside the work folder.
    for var in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"):
        env[var] = os.path.join(args.work, "home", var.lower())
        os.makedirs(env[var], mode=0o700)
    subprocess.run([args.target, "--seeds", seeds], check=True, env=env, stdout=subprocess.DEVNULL)
    paths = make_mutants(seeds, mutants, args.per_seed, args.seed)

    failures, outcomes, slowest = [], {}, (0.0, "")
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        jobs = [pool.submit(run_one, args.target, p, out, args.timeout, env) for p in paths]
        for job in concurrent.futures.as_completed(jobs):
            path, failure, detail, elapsed = job.result()
            slowest = max(slowest, (elapsed, os.path.basename(path)))
            if failure:
                failures.append((path, failure, detail))
                shutil.copy(path, failed)
            else:
                key = detail.split(b":")[0].decode(errors="replace") or "?"
                outcomes[key] = outcomes.get(key, 0) + 1
    summary = ", ".join("%d %s" % (n, k) for k, n in sorted(outcomes.items()))
    print("fuzz check: %d inputs; %s; slowest %.1f s (%s)" % (len(paths), summary, slowest[0], slowest[1]))
    for path, failure, detail in sorted(failures):
        print("FAILED %s: %s\n%s" % (os.path.basename(path), failure, detail.decode(errors="replace")))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

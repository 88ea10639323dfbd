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


def lying_length(data, rng):
    lengths = list(re.finditer(rb"/Length\s+(\d+)(?!\s+\d+\s+R)", data))
    if not lengths:
        return flip_bytes(data, rng)
    match = rng.choice(lengths)
    n = int(match.group(1))
    value = rng.choice([n + rng.randint(1, 40), max(0, n - rng.randint(1, 40)), 0, n * 1000, 2 ** 31])
    return data[:match.start(1)] + str(value).encode() + data[match.end(1):]


def broken_xref_offsets(data, rng):
    entries = list(re.finditer(rb"(\d{10}) \d{5} n", data))
    if entries and rng.random() < 0.6:
        for match in sorted(rng.sample(entries, min(len(entries), rng.randint(1, 4))), key=lambda m: -m.start()):
            value = rng.choice([0, int(match.group(1)) + rng.randint(-30, 30), len(data) + 999])
            data = data[:match.start(1)] + b"%010d" % max(0, value) + data[match.end(1):]
        return data
    return re.sub(rb"startxref\s+\d+", b"startxref\n" + str(rng.randrange(len(data))).encode(), data)


def absurd_rotate(data, rng):
    value = rng.choice([b"45", b"-270", b"1e30", b"2147483647", b"-2147483648", b"(x)", b"9999999999"])
    return re.sub(rb"/Type\s*/Page\b", b"/Type /Page /Rotate " + value, data, count=1)


def page_objects(data):
    """(number, start of its dictionary's last >>) of each page object in the file."""
    found = []
    for match in re.finditer(rb"(\d+) 0 obj", data):
        end = data.find(b"endobj", match.end())
        body = data[match.end():end]
        if end > 0 and re.search(rb"/Type\s*/Page\b", body) and b"stream" not in body:
            found.append((int(match.group(1)), data.rfind(b">>", match.end(), end)))
    return found


def self_reference(data, rng):
    """A page that is its own parent or resources, or draws a form that draws itself (last key wins)."""
    pages = page_objects(data)
    if not pages:
        return cyclic_kids(data, rng)
    num, at = rng.choice(pages)
    entry = rng.choice([b" /Parent %d 0 R" % num, b" /Resources %d 0 R" % num,
                        b" /Resources << /XObject << /X %d 0 R >> >> /Contents %d 0 R" % (num, num),
                        b" /Annots [%d 0 R %d 0 R]" % (num, num)])
    return data[:at] + entry + b" " + data[at:]


def prev_cycle(data, rng):
    """An update appended whose /Prev chain loops: to itself, or back to the file's last table and on."""
    pages = page_objects(data)
    root = re.search(rb"/Root\s+(\d+)\s+0\s+R", data)
    if not pages or not root:
        return truncate(data, rng)
    num, at = pages[0]
    start = re.search(rb"(?<!\d)%d 0 obj" % num, data).start()
    body = data[start:data.find(b"endobj", at) + 6]
    update = len(data)
    xref = update + len(body) + 1
    prev = rng.choice([xref, xref + 7, update])
    return (data + body + b"\nxref\n%d 1\n%010d 00000 n \ntrailer\n<< /Size 9999 /Root %s 0 R /Prev %d >>\n"
            b"startxref\n%d\n%%%%EOF\n" % (num, update, root.group(1), prev, xref))


MUTATIONS = [flip_bytes, cut_chunk, repeat_chunk, truncate, hostile_number, lying_count, broken_boxes,
             empty_names, deep_nesting, cyclic_kids, lying_length, broken_xref_offsets, absurd_rotate,
             self_reference, prev_cycle]


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
    if proc.returncode == 3:
        return path, proc.stdout.strip().decode(errors="replace"), b"", elapsed
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

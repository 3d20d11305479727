#!/usr/bin/env python3
"""Times unpacking and installation beside the system's tools.

Builds a Release tree (no sanitizers), makes a package of about 200 MB in
1,000 files, half of the data compressible, and runs side by side, several
rounds each, on the same data:
  - our unpacking against `unzip -q -o`,
  - our installation over an existing copy of the tree (so every file is
    replaced and its old content kept for rollback) against `cp -a` over an
    existing copy.
Prints the best time of each and the ratios. Goals: unpacking at most 1.2
times `unzip`, installation at most 2 times `cp -a`.

usage: bench/install_bench.py [--files N] [--megabytes M] [--rounds R] [--keep]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "bench")


def build():
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DUPDATER_SANITIZE=OFF", "-DUPDATER_BUILD_TESTS=OFF", "-DUPDATER_BUILD_BENCH=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["ninja", "-C", BUILD, "-j2", "install_bench"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(BUILD, "bench", "install_bench")


def make_tree(tree, files, total):
    """Half the files random bytes, half text that deflate shrinks several times."""
    rng = random.Random(1)
    words = [("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))).encode()
             for _ in range(2000)]
    size = total // files
    for i in range(files):
        folder = os.path.join(tree, "dir%02d" % (i % 20), "sub%d" % (i % 3))
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "file%04d.%s" % (i, "bin" if i % 2 else "txt"))
        if i % 2:
            data = os.urandom(size)
        else:
            parts, n = [], 0
            while n < size:
                w = words[rng.randrange(len(words))]
                parts.append(w)
                n += len(w) + 1
            data = b" ".join(parts)[:size]
        with open(path, "wb") as f:
            f.write(data)
        if i % 10 == 0:
            os.chmod(path, 0o755)


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--megabytes", type=int, default=200)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--keep", action="store_true", help="leave the work folder in place")
    args = parser.parse_args()

    tool = build()
    work = tempfile.mkdtemp(prefix="install-bench-", dir=os.environ.get("TMPDIR", "/var/tmp"))
    try:
        tree = os.path.join(work, "tree")
        make_tree(tree, args.files, args.megabytes << 20)
        package = os.path.join(work, "pkg.zip")
        subprocess.run(["zip", "-q", "-r", package, "."], cwd=tree, check=True)
        print("package: %d files, %.0f MB unpacked, %.0f MB packed" %
              (args.files, (args.megabytes << 20) / 1e6, os.path.getsize(package) / 1e6))

        ours_out, tool_out = os.path.join(work, "ours"), os.path.join(work, "unzip")
        unzip_times, ours_unzip_times = [], []
        timed(["unzip", "-q", "-o", package, "-d", tool_out])  # warm the cache
        for _ in range(args.rounds):
            fresh(tool_out)
            fresh(ours_out)
            subprocess.run(["sync"])
            unzip_times.append(timed(["unzip", "-q", "-o", package, "-d", tool_out]))
            subprocess.run(["sync"])
            ours_unzip_times.append(timed([tool, "unzip", package, ours_out]))
        subprocess.run(["diff", "-r", "-q", tool_out, ours_out], check=True)

        version = os.path.join(work, "version")
        shutil.copytree(tree, version, symlinks=True)
        prog_ours, prog_cp = os.path.join(work, "prog-ours"), os.path.join(work, "prog-cp")
        cp_times, ours_install_times = [], []
        for _ in range(args.rounds):
            for prog in (prog_ours, prog_cp):
                fresh(prog)
                subprocess.run(["cp", "-a", tree, prog], check=True)
            for name in os.listdir(work):
                if name.startswith("version.backup-"):
                    fresh(os.path.join(work, name))
            subprocess.run(["sync"])
            cp_times.append(timed(["cp", "-a", version + "/.", prog_cp]))
            subprocess.run(["sync"])
            ours_install_times.append(timed([tool, "install", version, prog_ours]))
        subprocess.run(["diff", "-r", "-q", prog_cp, prog_ours], check=True)

        u, o = min(unzip_times), min(ours_unzip_times)
        c, i = min(cp_times), min(ours_install_times)
        print("unpack:  unzip %.3f s, ours %.3f s, ratio %.2f (goal <= 1.20)" % (u, o, o / u))
        print("install: cp -a %.3f s, ours %.3f s, ratio %.2f (goal <= 2.00)" % (c, i, i / c))
    finally:
        if args.keep:
            print("work folder:", work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

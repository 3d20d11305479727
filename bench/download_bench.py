#!/usr/bin/env python3
"""Download throughput and memory of the updater's transport beside the curl tool.

Serves a package of --size MiB (default 1024) and a small one of --small MiB
(default 64) from nginx on 127.0.0.1, then downloads the big one alternately
with the curl tool and with download_bench (the updater's DownloadFile), each
--rounds times, into files next to each other. Prints each run, the best
throughput of each, their ratio, and the peak resident memory of both
packages' downloads, which stays the same when memory does not grow with the
package size. Peak memory is taken with GNU time (package "time").

  bench/download_bench.py --bench build/bench/bench/download_bench
"""
import argparse
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

NGINX_CONF = """\
daemon off;
worker_processes 1;
pid {dir}/nginx.pid;
error_log {dir}/error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path {dir}/tmp;
  proxy_temp_path {dir}/tmp;
  fastcgi_temp_path {dir}/tmp;
  uwsgi_temp_path {dir}/tmp;
  scgi_temp_path {dir}/tmp;
  types {{ application/zip zip; }}
  server {{
    listen 127.0.0.1:{port};
    root {dir}/www;
  }}
}}
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_package(path, mib):
    block = os.urandom(1 << 20)
    with open(path, "wb") as f:
        for _ in range(mib):
            f.write(block)


def run(argv, work):
    """Runs argv; returns (seconds, peak RSS in KiB)."""
    # GNU time reports the program's own peak, not that of the forked Python
    # it started from.
    report = os.path.join(work, "rss")
    start = time.monotonic()
    code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report, *argv], stdout=subprocess.DEVNULL)
    seconds = time.monotonic() - start
    if code != 0:
        sys.exit(f"failed: {' '.join(argv)}")
    with open(report) as f:
        return seconds, int(f.read().split()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bench", required=True, help="the download_bench program")
    parser.add_argument("--size", type=int, default=1024, help="big package, MiB")
    parser.add_argument("--small", type=int, default=64, help="small package, MiB")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--out-dir", help="where both tools write the package (default: beside it)")
    parser.add_argument("--nginx", default=shutil.which("nginx") or "/usr/sbin/nginx")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="download-bench-")
    # nginx serves from its worker, which runs as another user.
    os.chmod(work, 0o755)
    nginx = None
    try:
        os.makedirs(os.path.join(work, "www"))
        os.makedirs(os.path.join(work, "tmp"))
        make_package(os.path.join(work, "www", "big.zip"), args.size)
        make_package(os.path.join(work, "www", "small.zip"), args.small)
        port = free_port()
        conf = os.path.join(work, "nginx.conf")
        with open(conf, "w") as f:
            f.write(NGINX_CONF.format(dir=work, port=port))
        nginx = subprocess.Popen([args.nginx, "-c", conf, "-p", work])
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.05)
        base = f"http://127.0.0.1:{port}"
        out = os.path.join(args.out_dir or work, f"download-bench-{os.getpid()}.zip")
        size = args.size << 20

        tools = {
            "curl": lambda url: ["curl", "-s", "-o", out, url],
            "updater": lambda url: [args.bench, url, out],
        }
        rates = {"curl": [], "updater": []}
        rss = {}
        # Warm the page cache so that the first run is not the only one that reads the disk.
        run(tools["curl"](base + "/big.zip"), work)
        for r in range(args.rounds):
            for name in (("curl", "updater") if r % 2 == 0 else ("updater", "curl")):
                os.remove(out) if os.path.exists(out) else None
                seconds, peak = run(tools[name](base + "/big.zip"), work)
                if os.path.getsize(out) != size:
                    sys.exit(f"{name}: stored {os.path.getsize(out)} bytes, not {size}")
                rate = size / seconds / (1 << 20)
                print(f"round {r + 1} {name:8s} {seconds:6.2f} s {rate:8.1f} MiB/s  peak RSS {peak / 1024:6.1f} MiB")
                rates[name].append(rate)
                rss[name] = max(rss.get(name, 0), peak)
        _, small_rss = run(tools["updater"](base + "/small.zip"), work)

        for name in ("curl", "updater"):
            print(f"{name:8s} best {max(rates[name]):8.1f} MiB/s  median {statistics.median(rates[name]):8.1f} MiB/s")
        print(f"ratio updater/curl: best {max(rates['updater']) / max(rates['curl']):.3f},"
              f" median {statistics.median(rates['updater']) / statistics.median(rates['curl']):.3f}")
        print(f"peak RSS updater: {args.small} MiB package {small_rss / 1024:.1f} MiB,"
              f" {args.size} MiB package {rss['updater'] / 1024:.1f} MiB (curl {rss['curl'] / 1024:.1f} MiB)")
    finally:
        if nginx is not None:
            nginx.terminate()
            nginx.wait()
        shutil.rmtree(work, ignore_errors=True)
        if args.out_dir:
            try:
                os.remove(out)
            except (OSError, NameError):
                pass


if __name__ == "__main__":
    main()

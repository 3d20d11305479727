#!/usr/bin/env python3
"""The update service for Norvane's updater.

Serves one folder of releases:

  RELEASES/release.json   {"version": "1.2.0", "package": "norvane-1.2.0.zip",
                           "time": "2024-05-01", "content": "What is new"}
  RELEASES/norvane-1.2.0.zip

"version" and "package" are required; "size" may be given and must then match
the package file; "time" and "content" are passed on to the updater as they
are. The manifest is read anew for every request, so a new release is
published by copying its package in and then replacing release.json.

  POST PREFIX/api/check/          body "ver=<installed version>"; answers
                                  {"result", "isupdate", "new_ver", "size",
                                   "url", "time", "content"}; "isupdate" is
                                  true when the posted version differs from
                                  the latest
  GET  PREFIX/packages/<package>  the latest package, with Content-Length

The service binds to 127.0.0.1 (or --bind) on --port, or a free port, and
prints the port as its first line of output.
"""
import argparse
import http.server
import json
import os
import socketserver
import sys
import time
import urllib.parse

MANIFEST = "release.json"
# The updater keeps the version in 15 bytes and the URL in 511, and names a
# folder after the version.
MAX_VERSION_BYTES = 15
MAX_URL_BYTES = 511
FORBIDDEN_IN_VERSION = set('/\\:') | {chr(c) for c in range(32)} | {"\x7f"}


class ReleaseError(Exception):
    pass


def load_release(folder):
    try:
        with open(os.path.join(folder, MANIFEST), "rb") as f:
            manifest = json.loads(f.read().decode("utf-8"))
    except (OSError, ValueError) as e:
        raise ReleaseError(f"cannot read {MANIFEST}: {e}")
    if not isinstance(manifest, dict):
        raise ReleaseError(f"{MANIFEST} must hold one object")
    version, package = manifest.get("version"), manifest.get("package")
    if not isinstance(version, str) or not isinstance(package, str) or not package:
        raise ReleaseError(f'{MANIFEST} must name "version" and "package" as strings')
    if (len(version.encode("utf-8")) > MAX_VERSION_BYTES or version in (".", "..")
            or any(c in FORBIDDEN_IN_VERSION for c in version)):
        raise ReleaseError(f"version {version!r} cannot name a folder of at most {MAX_VERSION_BYTES} bytes")
    if os.path.basename(package) != package or package in (".", ".."):
        raise ReleaseError(f"package {package!r} must be a file name inside the releases folder")
    path = os.path.join(folder, package)
    try:
        size = os.path.getsize(path)
    except OSError as e:
        raise ReleaseError(f"cannot read package {package!r}: {e}")
    if "size" in manifest and manifest["size"] != size:
        raise ReleaseError(f"size {manifest['size']!r} in {MANIFEST} differs from the package's {size} bytes")
    if size > 2**31 - 1:
        raise ReleaseError("packages are limited to 2147483647 bytes")
    return {
        "version": version,
        "package": package,
        "path": path,
        "size": size,
        "time": str(manifest.get("time", "")),
        "content": str(manifest.get("content", "")),
    }


def parse_form(body):
    # The updater sends its version as it is, without form encoding; a "+" in
    # a version is a plus, not a space. Percent escapes are still decoded for
    # clients that encode.
    form = {}
    for pair in body.decode("utf-8", "replace").split("&"):
        name, _, value = pair.partition("=")
        form.setdefault(urllib.parse.unquote(name), urllib.parse.unquote(value))
    return form


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "UpdateService/1.0"

    def log_message(self, format, *args):
        if not self.server.quiet:
            super().log_message(format, *args)

    def send_bytes(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_json(self, status, reply):
        self.send_bytes(status, json.dumps(reply, ensure_ascii=False).encode("utf-8"), "application/json")

    def route(self):
        path = urllib.parse.urlsplit(self.path).path
        prefix = self.server.prefix
        if not path.startswith(prefix + "/"):
            return None
        return path[len(prefix):]

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length)
        if self.route() != "/api/check/":
            self.send_json(404, {"result": False, "error": "not found"})
            return
        form = parse_form(body)
        if "ver" not in form:
            self.send_json(200, {"result": False, "error": 'the form field "ver" is missing'})
            return
        try:
            release = load_release(self.server.releases)
        except ReleaseError as e:
            self.log_error("%s", e)
            self.send_json(200, {"result": False, "error": "no release is published"})
            return
        url = self.package_url(release)
        if len(url.encode("utf-8")) > MAX_URL_BYTES:
            self.log_error("package URL longer than %d bytes: %s", MAX_URL_BYTES, url)
            self.send_json(200, {"result": False, "error": "package URL too long"})
            return
        self.send_json(200, {
            "result": True,
            "isupdate": form["ver"] != release["version"],
            "new_ver": release["version"],
            "size": release["size"],
            "url": url,
            "time": release["time"],
            "content": release["content"],
        })

    def package_url(self, release):
        base = self.server.public_url
        if not base:
            host = self.headers.get("Host") or f"127.0.0.1:{self.server.server_address[1]}"
            base = f"http://{host}{self.server.prefix}"
        return f"{base}/packages/{urllib.parse.quote(release['package'])}"

    def do_GET(self):
        route = self.route() or ""
        if not route.startswith("/packages/"):
            self.send_json(404, {"result": False, "error": "not found"})
            return
        name = urllib.parse.unquote(route[len("/packages/"):])
        try:
            release = load_release(self.server.releases)
        except ReleaseError as e:
            self.log_error("%s", e)
            release = None
        if release is None or name != release["package"]:
            self.send_bytes(404, b"no such package\n", "text/plain")
            return
        with open(release["path"], "rb") as f:
            size = os.fstat(f.fileno()).st_size
            self.send_response(200)
            self.send_header("Content-Type", "application/zip")
            self.send_header("Content-Length", str(size))
            self.end_headers()
            if self.command == "HEAD":
                return
            if self.server.rate:
                self.send_throttled(f, size)
            else:
                self.wfile.flush()
                self.connection.sendfile(f)

    do_HEAD = do_GET

    def send_throttled(self, f, size):
        # Blocks of a tenth of a second's worth, each sent on schedule.
        rate = self.server.rate
        block = max(1, min(rate // 10, 64 * 1024))
        start = time.monotonic()
        sent = 0
        while sent < size:
            data = f.read(block)
            if not data:
                break
            self.wfile.write(data)
            self.wfile.flush()
            sent += len(data)
            delay = start + sent / rate - time.monotonic()
            if delay > 0:
                time.sleep(delay)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--releases", required=True, help="folder with release.json and the package")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (default: a free one)")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on (default: 127.0.0.1)")
    parser.add_argument("--prefix", default="", help='path before /api/check/, as in MSG_SERVER_SUFFIX, e.g. "/norvane"')
    parser.add_argument("--rate", type=int, default=0, help="send packages at most this many bytes per second")
    parser.add_argument("--public-url", default="",
                        help="base of the package URLs (default: http:// + the Host the updater asked + prefix)")
    parser.add_argument("--quiet", action="store_true", help="log no requests")
    args = parser.parse_args()
    if args.prefix and (not args.prefix.startswith("/") or args.prefix.endswith("/")):
        parser.error('--prefix must start with "/" and not end with one')
    try:
        load_release(args.releases)
    except ReleaseError as e:
        parser.error(str(e))

    server = Server((args.bind, args.port), Handler)
    server.releases = args.releases
    server.prefix = args.prefix
    server.rate = max(0, args.rate)
    server.public_url = args.public_url.rstrip("/")
    server.quiet = args.quiet
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())

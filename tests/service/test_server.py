#!/usr/bin/env python3
"""An HTTP server for the transport's tests that misbehaves on request.

Listens on 127.0.0.1 (a free port unless --port is given) and prints the port
as its first line. Every request's raw bytes, as they came off the wire, are
stored as DIR/request-N (N counting from 1) before anything is answered, so a
test can check exactly what the client sent. Each connection carries one
exchange and is closed after it.

The first path segment picks the answer:
  /body/SIZE                 200 with SIZE bytes of the test pattern
  /pieces/N/SIZE[?ack]       200 with N pieces of SIZE pattern bytes, sent
                             apart; with ?ack piece K+1 is sent only once the
                             test has created DIR/ack-K, otherwise after 0.2 s
  /empty                     200 with an empty body
  /notfound                  404 with an HTML page
  /cut/TOTAL/SENT            announces TOTAL bytes, sends SENT, closes
  /stall/TOTAL/SENT          announces TOTAL bytes, sends SENT, then is silent
  /silent                    reads the request and never answers
  /redirect?to=URL[&code=C]  C (302) with Location URL
  /reply/NAME/...            200 with the bytes of DIR/NAME as JSON

Byte I of the test pattern is I % 251.
"""
import argparse
import os
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

MAX_HEAD = 64 * 1024
WAIT_LIMIT = 120.0


def pattern(offset, size):
    return bytes((offset + i) % 251 for i in range(size))


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.sock = self.request
        if self.server.tls is not None:
            try:
                self.sock = self.server.tls.wrap_socket(self.sock, server_side=True)
            except (ssl.SSLError, OSError):
                self.sock = None

    def handle(self):
        if self.sock is None:
            return
        self.sock.settimeout(WAIT_LIMIT)
        raw = self.read_request()
        if raw is None:
            return
        self.server.record(raw)
        line = raw.split(b"\r\n", 1)[0].decode("latin-1")
        parts = line.split(" ")
        if len(parts) != 3:
            return
        url = urllib.parse.urlsplit(parts[1])
        segments = [s for s in url.path.split("/") if s]
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        mode = segments[0] if segments else ""
        answer = getattr(self, "answer_" + mode, None)
        if answer is None:
            self.respond(404, b"unknown test path", "text/plain")
        else:
            answer(segments[1:], query)

    def read_request(self):
        data = b""
        try:
            while b"\r\n\r\n" not in data:
                chunk = self.sock.recv(4096)
                if not chunk:
                    break
                data += chunk
                # Anything that does not start like a request line (a TLS hello,
                # say) is kept as it came and not answered.
                if not data[:1].isalpha() or len(data) > MAX_HEAD:
                    break
            if b"\r\n\r\n" not in data:
                if data:
                    self.server.record(data)
                return None
            head, _, body = data.partition(b"\r\n\r\n")
            length = 0
            for field in head.split(b"\r\n")[1:]:
                name, _, value = field.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value.strip())
            while len(body) < length:
                chunk = self.sock.recv(length - len(body))
                if not chunk:
                    break
                body += chunk
            return head + b"\r\n\r\n" + body
        except (OSError, ValueError):
            return None

    def send_head(self, status, reason, length, content_type="application/octet-stream", extra=()):
        lines = [f"HTTP/1.1 {status} {reason}", f"Content-Type: {content_type}", f"Content-Length: {length}",
                 "Connection: close", *extra, "", ""]
        self.sock.sendall("\r\n".join(lines).encode("latin-1"))

    def respond(self, status, body, content_type="application/octet-stream", reason="OK", extra=()):
        self.send_head(status, reason, len(body), content_type, extra)
        self.sock.sendall(body)

    def wait_for_close(self):
        # Silent until the client gives up (or the test's process ends).
        try:
            while self.sock.recv(4096):
                pass
        except OSError:
            pass

    def answer_body(self, args, query):
        self.respond(200, pattern(0, int(args[0])))

    def answer_pieces(self, args, query):
        count, size = int(args[0]), int(args[1])
        self.send_head(200, "OK", count * size)
        for k in range(count):
            if k > 0:
                if "ack" in query:
                    self.server.wait_for_file(f"ack-{k}")
                else:
                    time.sleep(0.2)
            self.sock.sendall(pattern(k * size, size))

    def answer_empty(self, args, query):
        self.respond(200, b"")

    def answer_notfound(self, args, query):
        page = b"<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>"
        self.respond(404, page, "text/html", reason="Not Found")

    def answer_cut(self, args, query):
        total, sent = int(args[0]), int(args[1])
        self.send_head(200, "OK", total)
        self.sock.sendall(pattern(0, sent))

    def answer_stall(self, args, query):
        self.answer_cut(args, query)
        self.wait_for_close()

    def answer_silent(self, args, query):
        self.wait_for_close()

    def answer_redirect(self, args, query):
        code = int(query.get("code", ["302"])[0])
        self.respond(code, b"", reason="Redirect", extra=(f"Location: {query['to'][0]}",))

    def answer_reply(self, args, query):
        with open(os.path.join(self.server.folder, args[0]), "rb") as f:
            self.respond(200, f.read(), "application/json")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, folder, tls):
        super().__init__(("127.0.0.1", port), Handler)
        self.folder = folder
        self.tls = tls
        self.count = 0
        self.lock = threading.Lock()

    def record(self, raw):
        with self.lock:
            self.count += 1
            name = os.path.join(self.folder, f"request-{self.count}")
        with open(name + ".part", "wb") as f:
            f.write(raw)
        os.replace(name + ".part", name)

    def wait_for_file(self, name):
        path = os.path.join(self.folder, name)
        deadline = time.monotonic() + WAIT_LIMIT
        while not os.path.exists(path) and time.monotonic() < deadline:
            time.sleep(0.01)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dir", required=True, help="folder for the request records, acks and replies")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"), help="speak TLS with this certificate")
    args = parser.parse_args()
    tls = None
    if args.tls:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(args.tls[0], args.tls[1])
    server = Server(args.port, args.dir, tls)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())

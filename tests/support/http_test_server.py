#!/usr/bin/env python3
"""A local HTTP server for the tests of the HTTP getter and the update check.

Listens on 127.0.0.1 on two free ports, plain HTTP and HTTPS (with a
self-signed certificate made at start), and prints "PORT TLSPORT" on one line.
Runs until it is terminated or the process that started it ends.

Paths (the query is ignored unless said otherwise):
  /text               200 with a short text
  /notfound           404 with an HTML page
  /empty              200 with Content-Length: 0
  /zeros              200, 5000 bytes with zero bytes among them, sent in pieces
  /nolength           200 without Content-Length; the connection's end ends the body
  /badlength          200 with a Content-Length that is not a number
  /short              200 with Content-Length: 100 and only 10 bytes, then the end
  /stall              200 with Content-Length: 1000, 10 bytes, then silence
  /hang, /hang/...    reads the request and never answers
  /redirect           302 to /text
  /auth               401 asking for Basic credentials unless they come; then echoes them
  /echo...            200 with the request line, the headers named below and the body
  /answer/HEX/...     200 with the bytes HEX stands for
  /tls-refusals       the reasons of the TLS handshakes that clients broke off
"""

import http.server
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

ZEROS_BODY = bytes((i * 7) % 256 if i % 3 else 0 for i in range(5000))
tls_refusals = []
tls_refusals_lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self.answer()

    def do_POST(self):
        self.answer()

    def send(self, status, body, headers=(), length=True):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def request_body(self):
        length = int(self.headers.get("Content-Length", "0"))
        return self.rfile.read(length) if length else b""

    def answer(self):
        path = self.path.split("?", 1)[0]
        if path == "/text":
            self.send(200, b"Hello from the test server\n")
        elif path == "/notfound":
            self.send(404, b"<html><body>404 Not Found</body></html>")
        elif path == "/empty":
            self.send(200, b"")
        elif path == "/zeros":
            self.send_response(200)
            self.send_header("Content-Length", str(len(ZEROS_BODY)))
            self.end_headers()
            for start in range(0, len(ZEROS_BODY), 700):
                self.wfile.write(ZEROS_BODY[start:start + 700])
                self.wfile.flush()
                time.sleep(0.01)
        elif path == "/nolength":
            self.send(200, b"a body without a length", length=False)
        elif path == "/badlength":
            self.send(200, b"ignored", headers=[("Content-Length", "twelve")], length=False)
        elif path == "/short":
            self.send(200, b"0123456789", headers=[("Content-Length", "100")], length=False)
        elif path == "/stall":
            self.send(200, b"0123456789", headers=[("Content-Length", "1000")], length=False)
            self.wfile.flush()
            time.sleep(3600)
        elif path == "/hang" or path.startswith("/hang/"):
            time.sleep(3600)
        elif path == "/redirect":
            self.send(302, b"moved", headers=[("Location", "/text")])
        elif path == "/auth":
            credentials = self.headers.get("Authorization")
            if credentials is None:
                self.send(401, b"who are you?",
                          headers=[("WWW-Authenticate", 'Basic realm="test"')])
            else:
                self.send(200, credentials.encode())
        elif path.startswith("/echo"):
            lines = [self.requestline]
            for name in ("User-Agent", "Referer"):
                lines.append("%s: %s" % (name, self.headers.get(name, "")))
            self.send(200, ("\n".join(lines) + "\n\n").encode() + self.request_body())
        elif path.startswith("/answer/"):
            self.send(200, bytes.fromhex(path.split("/")[2]))
        elif path == "/tls-refusals":
            with tls_refusals_lock:
                self.send(200, "\n".join(tls_refusals).encode())
        else:
            self.send(404, b"no such test page")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


class TLSServer(Server):
    def __init__(self, address, context):
        super().__init__(address, Handler)
        self.context = context

    def process_request_thread(self, request, client_address):
        try:
            request = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            with tls_refusals_lock:
                tls_refusals.append(str(getattr(error, "reason", error)))
            request.close()
            return
        super().process_request_thread(request, client_address)


def tls_context(folder):
    key = os.path.join(folder, "key.pem")
    certificate = os.path.join(folder, "certificate.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", key, "-out", certificate],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    return context


def exit_with_parent():
    """Ends the server when the test that started it has gone, however it went."""
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def main():
    threading.Thread(target=exit_with_parent, daemon=True).start()
    with tempfile.TemporaryDirectory() as folder:
        plain = Server(("127.0.0.1", 0), Handler)
        secure = TLSServer(("127.0.0.1", 0), tls_context(folder))
        threading.Thread(target=secure.serve_forever, daemon=True).start()
        print(plain.server_address[1], secure.server_address[1], flush=True)
        plain.serve_forever()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""A timestamp authority on 127.0.0.1 for the signing tests.

Usage: loopback_tsa.py FOLDER MODE, FOLDER made by make_test_certificates.sh.
Prints the port it listens on, then answers each POST by MODE:
  good     the reply of `openssl ts -reply` for the request
  garbage  bytes that are no timestamp reply
  silent   nothing: the connection is held open without an answer
"""
import http.server
import subprocess
import sys
import tempfile
import time

FOLDER, MODE = sys.argv[1], sys.argv[2]


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if MODE == "silent":
            time.sleep(30)
            return
        if MODE == "garbage":
            body = b"<html>no timestamps here</html>"
        else:
            with tempfile.NamedTemporaryFile(dir=FOLDER, suffix=".tsq") as q:
                q.write(query)
                q.flush()
                body = subprocess.run(
                    ["openssl", "ts", "-reply", "-config", FOLDER + "/tsa.cnf", "-queryfile", q.name],
                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Authority)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()

#!/usr/bin/python3
"""A learning record store stand-in on loopback for coursexapi's tests.

Usage: stand_in_lrs.py PORT_FILE STORE MODE_FILE [CERT KEY]

Takes POST /xapi/statements with Basic authentication (user "lrs", password "secret") and
X-Experience-API-Version 1.0.3, and appends every statement it stores to STORE as a JSON line
(flushed and synced before it answers, so a statement outlives the process). Like a real LRS it
takes a batch whole or not at all: a batch holding an id it has answers 409. MODE_FILE, read at
every request, makes it misbehave: "refuse" (503), "stall" (no answer for a minute),
"reject ID" (400 for a batch holding that statement id), "lose" (stores the batch, then
drops the connection without an answer), "" (well). It writes its port to
PORT_FILE once it listens. With CERT and KEY it speaks HTTPS."""

import base64
import http.server
import json
import os
import ssl
import sys
import time

port_file, store, mode_file = sys.argv[1:4]


def stored_ids():
    ids = set()
    if os.path.exists(store):
        with open(store) as f:
            for line in f:
                ids.add(json.loads(line)["id"])
    return ids


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, text=""):
        body = text.encode()
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Content-Type", "application/json")
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        try:
            mode = open(mode_file).read().split()
        except OSError:
            mode = []
        if mode[:1] == ["refuse"]:
            return self.answer(503, '{"message": "down for maintenance"}')
        if mode[:1] == ["stall"]:
            time.sleep(60)
            return self.answer(503)
        expected = "Basic " + base64.b64encode(b"lrs:secret").decode()
        if self.headers.get("Authorization") != expected:
            return self.answer(401, '{"message": "bad credentials"}')
        if self.headers.get("X-Experience-API-Version") != "1.0.3":
            return self.answer(400, '{"message": "no xAPI version"}')
        if self.path != "/xapi/statements":
            return self.answer(404)
        statements = json.loads(body)
        if not isinstance(statements, list):
            statements = [statements]
        ids = [s["id"] for s in statements]
        if mode[:1] == ["reject"] and mode[1] in ids:
            return self.answer(400, '{"message": "statement %s is not valid"}' % mode[1])
        if len(set(ids)) != len(ids) or set(ids) & stored_ids():
            return self.answer(409, '{"message": "statement exists"}')
        with open(store, "a") as f:
            for s in statements:
                f.write(json.dumps(s) + "\n")
            f.flush()
            os.fsync(f.fileno())
        if mode[:1] == ["lose"]:
            self.close_connection = True
            self.connection.shutdown(2)
            return
        self.answer(200, json.dumps(ids))


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
if len(sys.argv) > 5:
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(sys.argv[4], sys.argv[5])
    server.socket = tls.wrap_socket(server.socket, server_side=True)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()

#!/usr/bin/env python3
"""An independent HTTP peer for the request tests.

Python's own http.server parses what the program sends and writes one JSON
line per request (method, path, query as urllib parses it, headers in order,
body, and the body as json parses it) to the record file, then answers with
a small JSON object. Usage: record_server.py ADDRESS RECORD_FILE
Prints "port N" once listening.
"""
import base64
import json
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Recorder(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def handle_any(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length else b""
        target = urllib.parse.urlsplit(self.path)
        record = {
            "method": self.command,
            "version": self.request_version,
            "path": urllib.parse.unquote(target.path),
            "raw_query": target.query,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body": base64.b64encode(body).decode("ascii"),
        }
        try:
            record["query"] = urllib.parse.parse_qs(target.query, keep_blank_values=True,
                                                    strict_parsing=bool(target.query))
        except ValueError as error:
            record["query_error"] = str(error)
        if body:
            try:
                record["json"] = json.loads(body.decode("utf-8"))
            except ValueError as error:
                record["json_error"] = str(error)
        with open(sys.argv[2], "a", encoding="utf-8") as out:
            out.write(json.dumps(record, ensure_ascii=False) + "\n")

        if "/official/" in target.path or "/common/" in target.path:
            answer = {"code": 1000, "data": None}
        else:
            answer = {"code": 200, "content": {}}
        payload = json.dumps(answer).encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(payload)))
        if target.path.endswith("getRootList"):
            self.send_header("glimra-api-version", "1")
        self.end_headers()
        self.wfile.write(payload)

    do_GET = handle_any
    do_POST = handle_any
    do_PUT = handle_any
    do_DELETE = handle_any


def main():
    server = ThreadingHTTPServer((sys.argv[1], 0), Recorder)
    print("port %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()

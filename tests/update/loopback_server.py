#!/usr/bin/env python3
# Loopback HTTP(S) server of the update tests: loopback_server.py ROUTES PORT_FILE LOG_FILE [CERT KEY].
# ROUTES maps a path to {"status", "body" or "body_file", "stall": "before-headers" | "mid-body"};
# requests and refused handshakes are logged one a line; it ends when its standard input closes.
import http.server, json, os, ssl, sys, threading

routes_file, port_file, log_file = sys.argv[1:4]
routes = json.load(open(routes_file, encoding="utf-8"))
closing = threading.Event()


def log(line):
    with open(log_file, "a", encoding="utf-8") as f:
        f.write(line + "\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        log(f"GET {self.path} agent={self.headers.get('User-Agent')}")
        route = routes.get(self.path, {"status": 404, "body": "no such route"})
        if route.get("stall") == "before-headers":
            return closing.wait(30)
        body = open(route["body_file"], "rb").read() if "body_file" in route else route["body"].encode()
        self.send_response(route.get("status", 200))
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if route.get("stall") == "mid-body":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            return closing.wait(30)
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    tls = None

    def finish_request(self, request, client_address):
        try:
            request = self.tls.wrap_socket(request, server_side=True) if self.tls else request
        except (ssl.SSLError, OSError) as error:
            return log(f"tls-refused {error}")
        self.RequestHandlerClass(request, client_address, self)


server = Server(("127.0.0.1", 0), Handler)
if len(sys.argv) > 5:
    server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    server.tls.load_cert_chain(sys.argv[4], sys.argv[5])
threading.Thread(target=server.serve_forever, daemon=True).start()
open(port_file + ".part", "w").write(str(server.server_address[1]))
os.replace(port_file + ".part", port_file)
sys.stdin.read()
closing.set()


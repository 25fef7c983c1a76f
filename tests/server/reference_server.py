#!/usr/bin/env python3
"""Reference profile and version server for development and tests.

Serves, on 127.0.0.1 only:
  POST /profiles/update             the catalogue (checks the request form)
  POST /files/<name>                a profile file named in the catalogue
  GET  /pictures/<name>             a model's picture ("Accept: image/*")
  GET  /Pub/audio_en_pad.xml        the version-information document
  GET  /download/download.php?platform=2   the download page

The data folder holds models.json (a list of models: device, manufacturer,
model, file, image, description, added, updated), files/ and pictures/.
A catalogue.xml or audio_en_pad.xml in it is served instead of the
generated document ("{base}" in it becomes "http://<host-name>").

The first line on standard output is "listening on 127.0.0.1:<port>".
"""

import argparse
import html
import json
import os
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FAULTS = ("none", "status500", "slow", "endless", "malformed", "dtd", "redirect", "drip")
FORM_FIELDS = ("email", "password", "type_id", "machine_id",
               "machine_friendly_name", "version", "iamnotversionone")


def escape(text):
    return html.escape(str(text), quote=False)


class Catalogue:
    def __init__(self, data, host_name):
        self.data = data
        self.base = "http://" + host_name

    def models(self):
        path = os.path.join(self.data, "models.json")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return json.load(f)

    def file_url(self, name):
        return "%s/files/%s" % (self.base, urllib.parse.quote(name))

    def image_url(self, name):
        return "%s/pictures/%s" % (self.base, urllib.parse.quote(name)) if name else ""

    def document(self):
        custom = os.path.join(self.data, "catalogue.xml")
        if os.path.exists(custom):
            with open(custom, encoding="utf-8") as f:
                return f.read().replace("{base}", self.base)
        devices = {}
        for m in self.models():
            makers = devices.setdefault(int(m["device"]), {})
            makers.setdefault(m["manufacturer"], []).append(m)
        out = ['<?xml version="1.0" encoding="UTF-8"?>', "<catalogue>"]
        for device, makers in devices.items():
            out.append("<device><id>%d</id>" % device)
            for maker, models in makers.items():
                out.append("<manufacturer><name>%s</name>" % escape(maker))
                for m in models:
                    out.append(
                        "<model><name>%s</name><description>%s</description>"
                        "<file_url>%s</file_url><image_url>%s</image_url>"
                        "<added>%s</added><updated>%s</updated></model>" % (
                            escape(m["model"]), escape(m.get("description", "")),
                            escape(self.file_url(m["file"])),
                            escape(self.image_url(m.get("image", ""))),
                            escape(m.get("added", "")), escape(m.get("updated", ""))))
                out.append("</manufacturer>")
            out.append("</device>")
        out.append("</catalogue>")
        return "\n".join(out) + "\n"


def version_document(data, published):
    custom = os.path.join(data, "audio_en_pad.xml")
    if os.path.exists(custom):
        with open(custom, encoding="utf-8") as f:
            return f.read()
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<XML_DIZ_INFO><Program_Info>'
            "<Program_Name>Auralith</Program_Name>"
            "<Program_Version>%s</Program_Version>"
            "</Program_Info></XML_DIZ_INFO>\n" % escape(published))


def spoil(document, fault):
    """The XML faults: cut off inside the last element, or a DTD."""
    if fault == "malformed":
        cut = document.rfind("</model>")
        if cut >= 0:
            return document[:cut + len("</model>")] + "<model><name>cut</nam"
        cut = document.rfind("</Program_Version>")
        if cut >= 0:
            return document[:cut] + "</Program_Versio"
        return document[: len(document) // 2]
    if fault == "dtd":
        decl_end = document.find("?>") + 2 if document.startswith("<?xml") else 0
        return (document[:decl_end] + '\n<!DOCTYPE catalogue [<!ENTITY x "y">]>\n'
                + document[decl_end:])
    return document


class Handler(BaseHTTPRequestHandler):
    server_version = "AuralithReference/1"
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):  # quiet unless asked
        if self.server.options.verbose:
            sys.stderr.write("%s\n" % (fmt % args))

    # -- answers ---------------------------------------------------------
    def answer(self, status, body, content_type="text/plain; charset=utf-8"):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def fault_applies(self):
        o = self.server.options
        return o.fault != "none" and self.path.startswith(o.fault_path)

    def early_fault(self):
        """Faults that replace the whole answer; True when one was sent."""
        if not self.fault_applies():
            return False
        fault = self.server.options.fault
        if fault == "status500":
            self.answer(500, "internal error\n")
            return True
        if fault == "redirect":
            self.send_response(302)
            self.send_header("Location", "http://127.0.0.1:%d/elsewhere" % self.server.server_address[1])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return True
        if fault == "slow":
            time.sleep(self.server.options.slow_seconds)
            self.close_connection = True
            return True
        if fault == "drip":
            self.stream(b"x", 0.05)
            return True
        if fault == "endless":
            self.stream(b"1 0.5\n" * 10000, 0)
            return True
        return False

    def stream(self, chunk, pause):
        """A 200 reply whose body never ends, until the client goes."""
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        try:
            while True:
                self.wfile.write(chunk)
                self.wfile.flush()
                if pause:
                    time.sleep(pause)
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.close_connection = True

    def xml(self, document):
        if self.fault_applies():
            document = spoil(document, self.server.options.fault)
        self.answer(200, document, "text/xml; charset=utf-8")

    # -- the request form ------------------------------------------------
    def read_form(self):
        length = int(self.headers.get("Content-Length") or 0)
        raw = self.rfile.read(length).decode("ascii", "replace")
        fields = urllib.parse.parse_qs(raw, keep_blank_values=True)
        record = self.server.options.record
        if record:
            with self.server.lock, open(record, "a", encoding="utf-8") as f:
                f.write(json.dumps({"path": self.path, "raw": raw,
                                    "fields": {k: v[0] for k, v in fields.items()}}) + "\n")
        return raw, fields

    def form_problem(self, raw, fields):
        if self.headers.get("Content-Type") != "application/x-www-form-urlencoded":
            return "wrong content type"
        if list(fields) != list(FORM_FIELDS) or any(len(v) != 1 for v in fields.values()):
            return "wrong form fields"
        if fields["type_id"][0] != "2" or not raw.endswith("&iamnotversionone=1"):
            return "wrong fixed fields"
        if not fields["version"][0]:
            return "no version"
        return None

    def account_problem(self, fields):
        o = self.server.options
        if o.email is not None and fields["email"][0] != o.email:
            return True
        return o.password is not None and fields["password"][0] != o.password

    # -- routes ----------------------------------------------------------
    def do_POST(self):
        raw, fields = self.read_form()
        problem = self.form_problem(raw, fields)
        if problem:
            self.answer(400, problem + "\n")
            return
        path = urllib.parse.urlsplit(self.path).path
        if path == "/profiles/update":
            if self.account_problem(fields):
                self.answer(403, "unknown account\n")
            elif not self.early_fault():
                self.xml(self.server.catalogue.document())
        elif path.startswith("/files/"):
            if not self.early_fault():
                self.send_file("files", path[len("/files/"):], "text/plain")
        else:
            self.answer(404, "not found\n")

    def do_GET(self):
        parts = urllib.parse.urlsplit(self.path)
        o = self.server.options
        if parts.path == "/Pub/audio_en_pad.xml":
            if not self.early_fault():
                self.xml(version_document(o.data, o.published_version))
        elif parts.path.startswith("/pictures/"):
            if "image/" not in (self.headers.get("Accept") or ""):
                self.answer(406, "pictures only for image/*\n")
            elif not self.early_fault():
                # "/pictures/x.png/" serves x.png under a URL that ends in "/".
                name = parts.path[len("/pictures/"):].rstrip("/")
                self.send_file("pictures", name, "image/png")
        elif parts.path == "/download/download.php" and parts.query == "platform=2":
            self.answer(200, "<html><body><h1>Auralith %s</h1></body></html>\n"
                        % escape(o.published_version), "text/html; charset=utf-8")
        else:
            self.answer(404, "not found\n")

    def send_file(self, folder, quoted_name, content_type):
        name = urllib.parse.unquote(quoted_name)
        if not name:
            self.answer(404, "not found\n")
            return
        base = os.path.realpath(os.path.join(self.server.options.data, folder))
        path = os.path.realpath(os.path.join(base, name))
        if os.path.dirname(path) != base or not os.path.isfile(path):
            self.answer(404, "not found\n")
            return
        with open(path, "rb") as f:
            self.answer(200, f.read(), content_type)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--data", default=os.path.join(os.path.dirname(__file__), "data"))
    parser.add_argument("--host-name", default="localhost",
                        help="host written into the catalogue's URLs")
    parser.add_argument("--fault", choices=FAULTS, default="none")
    parser.add_argument("--fault-path", default="/", help="only paths starting with this")
    parser.add_argument("--slow-seconds", type=float, default=30.0)
    parser.add_argument("--published-version", default="1.2.4")
    parser.add_argument("--email", help="the account e-mail the catalogue requires")
    parser.add_argument("--password", help="the password the catalogue requires")
    parser.add_argument("--record", help="append every received form to this file")
    parser.add_argument("--verbose", action="store_true")
    options = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", options.port), Handler)
    server.daemon_threads = True
    server.options = options
    server.lock = threading.Lock()
    server.catalogue = Catalogue(options.data, options.host_name)
    print("listening on 127.0.0.1:%d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()

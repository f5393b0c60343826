#!/usr/bin/env python3
"""A scripted UPnP Internet gateway for tests: answers SSDP searches with the
given locations, serves device descriptions and answers WANIPConnection SOAP
actions with scripted outcomes. Every HTTP request is logged as one line:

    <local address> <method> <path> <soap action or -> <hdr=ok|bad> <Name=value>...
"""
import argparse
import re
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SSDP_GROUP = "239.255.255.250"
SSDP_PORT = 1900
SERVICE_TYPE = "urn:schemas-upnp-org:service:WANIPConnection:1"
ENVELOPE_HEAD = ('<?xml version="1.0"?>\r\n<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" '
                 's:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body>')
ENVELOPE_TAIL = "</s:Body></s:Envelope>\r\n"
SLOW_SECONDS = 600


def description(control_url, total_size=None):
    head = ('<?xml version="1.0"?>\r\n<root xmlns="urn:schemas-upnp-org:device-1-0"><device>'
            '<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>'
            '<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>'
            '<deviceList><device><serviceList><service>'
            f'<serviceType>{SERVICE_TYPE}</serviceType>'
            '<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId>'
            f'<controlURL>{control_url}</controlURL>'
            '</service></serviceList></device></deviceList></device></deviceList></device>')
    tail = "</root>\r\n"
    if total_size is None:
        return (head + tail).encode()
    filler = total_size - len(head) - len(tail) - len("<!---->")
    if filler < 0:
        raise ValueError("padded size too small")
    return (head + "<!--" + "x" * filler + "-->" + tail).encode()


class Script:
    def __init__(self, args):
        self.add_replies = [r for r in args.add_replies.split(",") if r]
        self.add_calls = 0
        self.external_ip = args.external_ip
        self.lock = threading.Lock()
        self.log = open(args.log, "a", buffering=1)

    def next_add_reply(self):
        with self.lock:
            index = self.add_calls
            self.add_calls += 1
        return self.add_replies[index] if index < len(self.add_replies) else "ok"

    def write(self, line):
        with self.lock:
            self.log.write(line + "\n")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    script = None
    http_port = 0

    def log_message(self, *args):
        pass

    def local_ip(self):
        return self.connection.getsockname()[0]

    def reply(self, status, body, content_type="text/xml; charset=\"utf-8\""):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.script.write(f"{self.local_ip()} GET {self.path} - hdr=-")
        path = self.path
        if path == "/good.xml":
            return self.reply(200, description("/ctl"))
        if path == "/redirect.xml":
            self.send_response(302)
            self.send_header("Location", "/good.xml?via=redirect")
            self.send_header("Content-Length", "0")
            self.send_header("Connection", "close")
            self.end_headers()
            return
        if path == "/otherhost.xml":
            return self.reply(200, description(f"http://192.168.88.3:{self.http_port}/ctl"))
        match = re.fullmatch(r"/pad-(\d+)\.xml", path)
        if match:
            return self.reply(200, description("/ctl", int(match.group(1))))
        return self.reply(404, b"")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length).decode("utf-8", "replace")
        soap_action = self.headers.get("SOAPAction", "")
        action = soap_action.strip('"').split("#")[-1]
        headers_ok = (self.headers.get("Content-Type") == 'text/xml; charset="utf-8"'
                      and soap_action == f'"{SERVICE_TYPE}#{action}"'
                      and self.headers.get("Accept") is None
                      and self.headers.get("User-Agent") == "VeltoCorvane")
        arguments = " ".join(f"{n}={v}" for n, v in re.findall(r"<(New\w+)>(.*?)</\1>", body))
        self.script.write(f"{self.local_ip()} POST {self.path} {action} "
                          f"hdr={'ok' if headers_ok else 'bad'} {arguments}".rstrip())
        if action == "AddPortMapping":
            return self.answer_add()
        if action == "GetExternalIPAddress":
            return self.ok(action, f"<NewExternalIPAddress>{self.script.external_ip}</NewExternalIPAddress>")
        if action == "DeletePortMapping":
            return self.ok(action, "")
        return self.fault("401")

    def ok(self, action, inner):
        body = (ENVELOPE_HEAD + f'<u:{action}Response xmlns:u="{SERVICE_TYPE}">{inner}</u:{action}Response>'
                + ENVELOPE_TAIL)
        self.reply(200, body.encode())

    def fault(self, code):
        detail = f"<errorCode>{code}</errorCode>" if code is not None else ""
        body = (ENVELOPE_HEAD + "<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring>"
                '<detail><UPnPError xmlns="urn:schemas-upnp-org:control-1-0">' + detail +
                "<errorDescription>scripted</errorDescription></UPnPError></detail></s:Fault>" + ENVELOPE_TAIL)
        self.reply(500, body.encode())

    def answer_add(self):
        outcome = self.script.next_add_reply()
        if outcome == "ok":
            return self.ok("AddPortMapping", "")
        if outcome == "nocode":
            return self.fault(None)
        if outcome == "big":
            return self.ok("AddPortMapping", "<!--" + "x" * 300000 + "-->")
        if outcome == "slow":
            time.sleep(SLOW_SECONDS)
            return self.ok("AddPortMapping", "")
        return self.fault(outcome)


def serve_ssdp(address, locations, search_log=None):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM, socket.IPPROTO_UDP)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("", SSDP_PORT))
    membership = struct.pack("4s4s", socket.inet_aton(SSDP_GROUP), socket.inet_aton(address))
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)

    def loop():
        while True:
            data, sender = sock.recvfrom(4096)
            if not data.startswith(b"M-SEARCH"):
                continue
            target = re.search(rb"\r\nST: *([^\r]*)", data)
            st = target.group(1).decode() if target else "ssdp:all"
            if search_log is not None:
                search_log.write(f"{sender[0]} M-SEARCH {st}\n")
            for location in locations:
                answer = ("HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\n"
                          f"ST: {st}\r\nUSN: uuid:test::{st}\r\nEXT:\r\nSERVER: Test/1 UPnP/1.1\r\n"
                          f"LOCATION: {location}\r\n\r\n")
                sock.sendto(answer.encode(), sender)

    threading.Thread(target=loop, daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True, help="interface address for the SSDP group")
    parser.add_argument("--http-port", type=int, required=True)
    parser.add_argument("--location", action="append", default=[])
    parser.add_argument("--add-replies", default="",
                        help="comma list of AddPortMapping outcomes: ok, a fault code, nocode, big, slow")
    parser.add_argument("--external-ip", default="11.22.33.44")
    parser.add_argument("--log", required=True)
    parser.add_argument("--search-log", help="file that gets one line per SSDP search")
    args = parser.parse_args()

    Handler.script = Script(args)
    Handler.http_port = args.http_port
    server = ThreadingHTTPServer(("0.0.0.0", args.http_port), Handler)
    server.daemon_threads = True
    search_log = open(args.search_log, "a", buffering=1) if args.search_log else None
    serve_ssdp(args.address, args.location, search_log)
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())

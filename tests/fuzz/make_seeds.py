#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets (run once; the files are committed)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
KEY = bytes([0x37, 0xFA, 0x21, 0x3D])


def frame(opcode, payload=b"", fin=True, masked=True, form=None, rsv=0):
    n = len(payload)
    form = form or ("short" if n <= 125 else "16" if n <= 0xFFFF else "64")
    size = (bytes([n]) if form == "short" else b"\x7e" + struct.pack(">H", n) if form == "16"
            else b"\x7f" + struct.pack(">Q", n))
    head = bytes([(0x80 if fin else 0) | rsv | opcode, size[0] | (0x80 if masked else 0)]) + size[1:]
    return head + (KEY + bytes(c ^ KEY[i % 4] for i, c in enumerate(payload)) if masked else payload)


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


REQ = (b"GET / HTTP/1.1\r\nHost: 127.0.0.1:28502\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
       b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
       b"Origin: http://localhost\r\n\r\n")

# Handshake inputs: first byte picks the arrival size.
write("handshake", "browser", b"\x07" + REQ)
write("handshake", "lowercase", b"\x01" + REQ.lower())
write("handshake", "blanks", b"\x03GET / HTTP/1.1\r\nHost:   h:1  \r\nSec-WebSocket-Key:   abc  \r\n\r\n")
write("handshake", "no_key", b"\x02GET / HTTP/1.1\r\nHost: h\r\n\r\n")
write("handshake", "origin", b"\x05GET / HTTP/1.1\r\nSec-WebSocket-Origin: http://a\r\nHost: h\r\n\r\n")
write("handshake", "with_frame", b"\x3f" + REQ + frame(1, b"hello"))
write("handshake", "post", b"\x09" + REQ.replace(b"GET", b"POST") + frame(1, b"{}"))
write("handshake", "local_program", b"\x0b" + REQ.replace(b"Origin: http://localhost\r\n", b"") + frame(1, b"hi"))
write("handshake", "foreign_host", b"\x0d" + REQ.replace(b"127.0.0.1:28502", b"evil.example"))
write("handshake", "no_empty_line", b"\x10GET / HTTP/1.1\r\nHost: h\r\n")
write("handshake", "over_limit", b"\x40GET / HTTP/1.1\r\nX: " + b"p" * 16400 + b"\r\n\r\n")

# Frame streams: first byte seeds the arrival sizes (odd: small arrivals).
write("frames", "text", b"\x01" + frame(1, b"hello"))
write("frames", "two_texts", b"\x02" + frame(1, b"one") + frame(1, b"two"))
write("frames", "fragments", b"\x03" + frame(1, b"Hel", fin=False) + frame(0, b"lo ", fin=False) + frame(0, b"you"))
write("frames", "control_between", b"\x05" + frame(1, b"ab", fin=False) + frame(9, b"ping") +
      frame(0, b"cd", fin=False) + frame(10) + frame(0, b"ef"))
write("frames", "binary_text", b"\x07" + frame(2, b"\x00\x01") + frame(1, b"t"))
write("frames", "close", b"\x09" + frame(1, b"x") + frame(8, b"\x03\xe8") + frame(1, b"late"))
write("frames", "empty_frames", b"\x0b" + frame(1) + frame(1, fin=False) + frame(0) + frame(9) + frame(1, b"z"))
write("frames", "len16", b"\x0c" + frame(1, b"a" * 300))
write("frames", "len64", b"\x0d" + frame(1, b"b" * 70000, form="64"))
write("frames", "len64_too_big", b"\x0e" + bytes.fromhex("81FF0000000100000000"))
write("frames", "len64_zero", b"\x0f" + bytes.fromhex("81FF0000000000000000"))
write("frames", "opcode3", b"\x11" + frame(3, b"x"))
write("frames", "rsv1", b"\x13" + frame(1, b"x", rsv=0x40))
write("frames", "utf8_split", b"\x15" + frame(1, b"x\xf0\x9f", fin=False) + frame(0, b"\x98\x80y"))
write("frames", "invalid_utf8", b"\x17" + frame(1, b"A\xff\xc0\x80B"))
write("frames", "unmasked", b"\x19" + frame(1, b"plain", masked=False))
write("frames", "cut_header", b"\x1b" + frame(1, b"done") + b"\x81")

# Request texts for the JSON reader.
with open(os.path.join(HERE, "..", "..", "demo", "requests", "invoice.json"), "rb") as f:
    write("json_reader", "invoice_request", f.read())
write("json_reader", "values", b'{"n":[0,-0.0,1e21,1E-7,12345678901234567890],"s":"\\u4e2d\\"\\n","t":true,"z":null}')
write("json_reader", "update_answer", b'{"ver":"2.0.0","url":"http://h/releases/Verolux","file":"Verolux"}')
write("json_reader", "duplicate_keys", b'{"k":1,"k":{"k":[{}]},"":[]}')
write("json_reader", "deep_arrays_80000", b'{"v":' + b"[" * 80000 + b"]" * 80000 + b"}")
write("json_reader", "deep_objects_600", b'{"a":' * 600 + b"1" + b"}" * 600)
write("json_reader", "not_json", b"<html>502</html>")

# Settings texts: "key\0value\0file text".
SETTINGS = b"[AppInfo]\r\nWebsUrl=http://h\r\nPrintVer=1.0.0\r\n[fileUrl]\r\norders.grf=http://h/o\r\n"
write("ini_text", "plain", b"orders.grf\0http://h/orders.grf\0" + SETTINGS)
write("ini_text", "bracket_key", b"[x].grf\0http://h/t?a=[1]\0" + SETTINGS)
write("ini_text", "equals_key", b"a = b.grf\0 'quoted' \0" + SETTINGS)
write("ini_text", "bare_cr", b"t.grf\0v\0[fileUrl]\rx=1\r")
write("ini_text", "chinese_long", "报表.grf\0".encode() + "报".encode() * 400 + b"\0" + SETTINGS)
write("ini_text", "empty_file", b"k\0v\0")

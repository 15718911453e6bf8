"""Resource limits of verolux-render: figures for the cases that once grew without bound.

- A long customer name (the order list's group key) in the first row: wrapped in its cell over hundreds
  of pages, the group header repeating it on each. Targets: 256 KB <= 0.2 s, 1 MB <= 0.6 s, RSS <= 100 MB.
- 30 pictures of 6000 x 5000 pixels (PNG, and JPEG when PIL is there) in 60 x 50 mm boxes, each decoded
  at its print size (709 x 591 at 300 dpi). Target: peak RSS <= 500 MB.
- The same pictures in full-page boxes: past the template's pixel budget, refused when loading.

Wall seconds swing with the load of a shared machine: CPU seconds (user + system) are printed beside them.
"""
import argparse
import base64
import io
import json
import os
import re
import subprocess
import tempfile
import time
import zlib

WIDTH, HEIGHT = 6000, 5000


def png(width, height, rgb):
    """A PNG of one colour with a white band across the middle (kept small: the rows repeat)."""
    def chunk(kind, data):
        body = kind + data
        return len(data).to_bytes(4, "big") + body + zlib.crc32(body).to_bytes(4, "big")
    plain = b"\0" + bytes(rgb) * width
    band = b"\0" + b"\xff" * (3 * width)
    z = zlib.compressobj(6)
    parts = [z.compress(band if height // 3 <= y < 2 * height // 3 else plain) for y in range(height)]
    idat = b"".join(parts) + z.flush()
    ihdr = width.to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([8, 2, 0, 0, 0])
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def jpeg(width, height, rgb):
    from PIL import Image  # python3-pil; the JPEG case is skipped without it
    image = Image.new("RGB", (width, height), tuple(rgb))
    image.paste((255, 255, 255), (0, height // 3, width, 2 * height // 3))
    out = io.BytesIO()
    image.save(out, "JPEG", quality=85)
    return out.getvalue()


def picture_template(pictures, box_w, box_h, path):
    """Half the pictures in the report header, half in the footer: three a line in small boxes, else all
    in one place (pictures may overlap). Returns the file's size."""
    grid = box_w * 3 + 4 <= 190

    def band(chunk):
        items = [{"type": "image", "x": (i % 3) * (box_w + 2) if grid else 0,
                  "y": (i // 3) * (box_h + 2) if grid else 0, "w": box_w, "h": box_h,
                  "data": base64.b64encode(data).decode()} for i, data in enumerate(chunk)]
        return {"height": max(it["y"] + box_h for it in items), "items": items}

    half = len(pictures) // 2
    tmpl = {"format": "verolux-report", "version": 1, "title": "pictures",
            "page": {"paper": "A4", "margins": {"left": 10, "top": 10, "right": 10, "bottom": 10}},
            "fields": [{"name": "n"}],
            "bands": {"reportHeader": band(pictures[:half]), "reportFooter": band(pictures[half:])}}
    with open(path, "w") as f:
        json.dump(tmpl, f)
    return os.path.getsize(path)


def long_key_request(root, size, path):
    with open(os.path.join(root, "demo", "requests", "orders.json"), encoding="utf-8") as f:
        req = json.load(f)
    req["repdata"][0]["customer"] = "".join("w%06d " % i for i in range(size // 8))
    with open(path, "w", encoding="utf-8") as f:
        json.dump(req, f, ensure_ascii=False)


def run(render, template, request, out):
    with tempfile.NamedTemporaryFile("r", suffix=".time") as tf:
        t0 = time.perf_counter()
        proc = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", tf.name, render, "--timing", template,
                               request, out], capture_output=True, text=True)
        wall = time.perf_counter() - t0
        tf.seek(0)
        kb, user, system = tf.read().strip().splitlines()[-1].split()
    r = {"wall": wall, "cpu": float(user) + float(system), "rss": int(kb) / 1024.0, "ok": proc.returncode == 0,
         "error": proc.stderr.strip().splitlines()[-1] if proc.returncode else ""}
    m = re.search(r"pages (\d+):", proc.stderr)
    r["pages"] = int(m.group(1)) if m else 0
    return r


def show(label, r, target=""):
    state = "" if r["ok"] else "  refused: " + r["error"][:110]
    print("%-34s %7.2f %7.2f %8.1f %6d  %s%s" % (label, r["wall"], r["cpu"], r["rss"], r["pages"], target, state),
          flush=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--render", required=True)
    ap.add_argument("--root", required=True)
    ap.add_argument("--pictures", type=int, default=30)
    ap.add_argument("--runs", type=int, default=3, help="runs of the long-key cases (the median is shown)")
    ap.add_argument("--skip", default="", help="comma list of: keys,png,jpeg,budget")
    args = ap.parse_args()
    skip = set(filter(None, args.skip.split(",")))
    work = tempfile.mkdtemp(prefix="vx-limits-bench-")
    env_note = " ".join(open("/proc/loadavg").read().split()[:3])
    print("verolux-render: %s (work folder %s)" % (args.render, work))
    print("load average before the run: %s on %d cores" % (env_note, os.cpu_count()))
    print("%-34s %7s %7s %8s %6s  %s" % ("case", "wall s", "CPU s", "RSS MB", "pages", "target"))
    out = os.path.join(work, "out.pdf")
    orders = os.path.join(args.root, "demo", "templates", "orders.grf")

    if "keys" not in skip:
        for label, size, target in (("256 KB", 256 * 1024, "<= 0.2 s"), ("1 MB", 1024 * 1024, "<= 0.6 s")):
            req = os.path.join(work, "key%d.json" % size)
            long_key_request(args.root, size, req)
            runs = sorted((run(args.render, orders, req, out) for _ in range(args.runs)), key=lambda r: r["wall"])
            show("group key of %s" % label, runs[len(runs) // 2], target + ", <= 100 MB")

    kinds = [k for k in ("png", "jpeg") if k not in skip]
    for kind in kinds:
        try:
            make = png if kind == "png" else jpeg
            pictures = [make(WIDTH, HEIGHT, (40 + 7 * i, 90, 200 - 5 * i)) for i in range(args.pictures)]
        except ImportError:
            print("%-34s skipped: no PIL" % (kind + " pictures"))
            continue
        req = os.path.join(work, "one.json")
        with open(req, "w") as f:
            json.dump({"repdata": [{"n": "1"}]}, f)
        small = os.path.join(work, "pictures-%s.grf" % kind)
        size = picture_template(pictures, 60, 50, small)
        show("%d %s %dx%d, 60x50 mm (%.1f MB)" % (args.pictures, kind.upper(), WIDTH, HEIGHT, size / 1e6),
             run(args.render, small, req, out), "<= 500 MB")
        if "budget" not in skip:
            big = os.path.join(work, "pictures-%s-page.grf" % kind)
            picture_template(pictures, 190, 270, big)
            show("same, each a page (over budget)", run(args.render, big, req, out), "refused")


if __name__ == "__main__":
    main()

"""Hostile templates against verolux-render: long unbroken values to wrap, and long chains of styles.

Each case fills the order list (demo/templates/orders.grf) and writes the PDF; the figures are the
wall and CPU seconds of the whole run, the layout and PDF stages as verolux-render --timing reports
them, the peak RSS and the pages. Wrapping and style chains must grow linearly: 1 MB takes about
four times what 256 KB takes, not sixteen.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "render"))
import gen_orders  # noqa: E402


def long_value_request(size, path):
    req = gen_orders.make_request(10)
    req["repdata"][4]["product"] = "x" * size  # one value without a blank to break at
    with open(path, "w", encoding="utf-8") as f:
        json.dump(req, f, ensure_ascii=False)


def narrow(template_text):
    """The product column 10 mm wide instead of 44 mm: about five characters a line."""
    out = template_text.replace('"x": 86, "y": 0, "w": 44, "h": 6, "style": "cellWrap"',
                                '"x": 86, "y": 0, "w": 10, "h": 6, "style": "cellWrap"')
    assert out != template_text, "the product cell of orders.grf moved"
    return out


def chained_styles(template_text, count):
    """`count` styles after the sample's own, each building on the one before it (so that engines that
    want a base defined first read it too); the product cells use the last."""
    rule = '"rule": {"borders": {"width": 0.3, "color": "#000000"}}'
    chain = "".join(', "c%d": {"base": "c%d"}' % (i, i - 1) for i in range(1, count))
    out = template_text.replace(rule, rule + ', "c0": {"base": "cellWrap", "size": 8}' + chain, 1)
    assert out != template_text, "the styles of orders.grf changed"
    return out.replace('"style": "cellWrap", "text": "{product}"', '"style": "c%d", "text": "{product}"' % (count - 1))


def run(render, template, request, out, timeout):
    with tempfile.NamedTemporaryFile("r", suffix=".time") as tf:
        t0 = time.perf_counter()
        try:
            proc = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", tf.name, render, "--timing",
                                   template, request, out], capture_output=True, text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        wall = time.perf_counter() - t0
        if proc.returncode != 0:
            return {"failed": proc.stderr.strip().splitlines()[-1]}
        tf.seek(0)
        kb, user, system = tf.read().strip().splitlines()[-1].split()
    m = re.search(r"pages (\d+): fill \d+ ms, layout (\d+) ms, pdf (\d+) ms", proc.stderr)
    return {"wall": wall, "cpu": float(user) + float(system), "rss": int(kb) / 1024.0,
            "pages": int(m.group(1)), "layout": int(m.group(2)) / 1000.0, "pdf": int(m.group(3)) / 1000.0}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--render", required=True)
    ap.add_argument("--template", required=True)
    ap.add_argument("--timeout", type=float, default=600, help="seconds per case before it counts as too slow")
    args = ap.parse_args()
    with open(args.template, encoding="utf-8") as f:
        orders = f.read()
    work = tempfile.mkdtemp(prefix="vx-layout-bench-")
    plain = os.path.join(work, "orders.grf")
    with open(plain, "w", encoding="utf-8") as f:
        f.write(orders)
    thin = os.path.join(work, "narrow.grf")
    with open(thin, "w", encoding="utf-8") as f:
        f.write(narrow(orders))
    styled = os.path.join(work, "styles.grf")
    with open(styled, "w", encoding="utf-8") as f:
        f.write(chained_styles(orders, 80000))
    rows10 = os.path.join(work, "rows10.json")
    with open(rows10, "w", encoding="utf-8") as f:
        json.dump(gen_orders.make_request(10), f, ensure_ascii=False)

    cases = []
    for label, size in (("256 KB", 256 * 1024), ("1 MB", 1024 * 1024)):
        request = os.path.join(work, "long%d.json" % size)
        long_value_request(size, request)
        cases.append(("%s value, 44 mm column" % label, plain, request))
        cases.append(("%s value, 10 mm column" % label, thin, request))
    cases.append(("80,000 chained styles, 10 rows", styled, rows10))

    print("verolux-render: %s" % args.render)
    print("load average before the run: %s on %d cores" % (" ".join(open("/proc/loadavg").read().split()[:3]),
                                                          os.cpu_count()))
    print("%-32s %8s %8s %8s %8s %8s %7s" % ("case", "wall s", "CPU s", "layout s", "pdf s", "RSS MB", "pages"))
    for label, template, request in cases:
        r = run(args.render, template, request, os.path.join(work, "out.pdf"), args.timeout)
        if r is None:
            print("%-32s %8s" % (label, "> %d" % args.timeout))
            continue
        if "failed" in r:
            print("%-32s failed: %s" % (label, r["failed"]))
            continue
        print("%-32s %8.2f %8.2f %8.2f %8.2f %8.1f %7d" % (label, r["wall"], r["cpu"], r["layout"], r["pdf"],
                                                          r["rss"], r["pages"]), flush=True)


if __name__ == "__main__":
    main()

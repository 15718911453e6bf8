"""Expressions against plain references: the order list (demo/templates/orders.grf) with 10,000 rows, once
as it is and once with three expressions and one conditional-formatting rule in every detail row. Prints
the fastest layout and whole-run seconds of each over the runs (verolux-render --timing; the fastest, as
the machine is shared and other load only adds) and their ratio; the expression list should stay within
1.3 times the plain one.
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


def with_expressions(text):
    """Quantity, price and amount computed; the amount bold and red from 10,000 on."""
    swaps = [
        ('"style": "cellNum", "text": "{quantity}"', '"style": "cellNum", "text": "{if(quantity >= 100, quantity & \\"+\\", quantity)}"'),
        ('"style": "cellMoney", "text": "{price}"', '"style": "cellMoney", "text": "{round(price * 1.13, 2)|#,##0.00}"'),
        ('"style": "cellMoney", "text": "{amount}"',
         '"style": "cellMoney", "text": "{quantity * price|#,##0.00}", "rules": [{"when": "quantity * price >= 10000", "style": "big"}]'),
    ]
    for old, new in swaps:
        assert old in text, "the detail band of orders.grf changed: " + old
        text = text.replace(old, new, 1)
    styles = '"styles": {'
    assert styles in text
    return text.replace(styles, styles + '"big": {"color": "#C00000", "bold": true}, ', 1)


def run(render, template, request, out):
    t0 = time.perf_counter()
    proc = subprocess.run([render, "--timing", template, request, out], capture_output=True, text=True)
    wall = time.perf_counter() - t0
    if proc.returncode != 0:
        raise RuntimeError(proc.stderr.strip()[-400:])
    m = re.search(r"pages (\d+): fill \d+ ms, layout (\d+) ms, pdf (\d+) ms", proc.stderr)
    return wall, int(m.group(2)) / 1000.0, int(m.group(1))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--render", required=True)
    ap.add_argument("--template", required=True)
    ap.add_argument("--rows", type=int, default=10000)
    ap.add_argument("--runs", type=int, default=9)
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="vx-expr-bench-")
    with open(args.template, encoding="utf-8") as f:
        plain_text = f.read()
    plain = os.path.join(work, "plain.grf")
    computed = os.path.join(work, "expressions.grf")
    with open(plain, "w", encoding="utf-8") as f:
        f.write(plain_text)
    with open(computed, "w", encoding="utf-8") as f:
        f.write(with_expressions(plain_text))
    request = os.path.join(work, "rows.json")
    with open(request, "w", encoding="utf-8") as f:
        json.dump(gen_orders.make_request(args.rows), f, ensure_ascii=False)

    results = {}
    for label, template in (("plain references", plain), ("expressions + rule", computed)):
        runs = [run(args.render, template, request, os.path.join(work, "out.pdf")) for _ in range(args.runs)]
        results[label] = (min(r[0] for r in runs), min(r[1] for r in runs), runs[0][2])

    print("verolux-render: %s, %d rows, fastest of %d runs" % (args.render, args.rows, args.runs))
    print("load average: %s on %d cores" % (" ".join(open("/proc/loadavg").read().split()[:3]), os.cpu_count()))
    print("%-22s %8s %9s %6s" % ("case", "wall s", "layout s", "pages"))
    for label, (wall, layout, pages) in results.items():
        print("%-22s %8.3f %9.3f %6d" % (label, wall, layout, pages))
    (pw, pl, _), (ew, el, _) = results["plain references"], results["expressions + rule"]
    print("ratio expressions/plain: wall %.2f, layout %.2f (target: at most 1.3)" % (ew / pw, el / pl if pl else 0))


if __name__ == "__main__":
    main()

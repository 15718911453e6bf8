"""Order-list PDF benchmark: verolux-render against ReportLab and wkhtmltopdf on the same rows.

Prints the median wall time of N runs, the peak RSS (GNU time's %M) and verolux's speed-up over each.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PY = "/usr/bin/python3"

sys.path.insert(0, HERE)
import gen_orders  # noqa: E402
import html_orders  # noqa: E402


def measure(cmd, runs, env=None):
    """Median wall seconds, median CPU seconds (user + system) and the largest peak RSS (MB) of cmd.

    CPU time is printed too because the machine is shared: wall time swings with other load.
    """
    times, cpu, rss = [], [], 0.0
    with tempfile.NamedTemporaryFile("r", suffix=".time") as tf:
        for _ in range(runs):
            t0 = time.perf_counter()
            proc = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", tf.name] + cmd,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
            times.append(time.perf_counter() - t0)
            if proc.returncode != 0:
                raise RuntimeError("%s failed (%d): %s" % (cmd[0], proc.returncode, proc.stderr.decode()[-400:]))
            tf.seek(0)
            kb, user, system = tf.read().strip().splitlines()[-1].split()
            rss = max(rss, int(kb) / 1024.0)
            cpu.append(float(user) + float(system))
    return statistics.median(times), statistics.median(cpu), rss


def pages(pdf):
    out = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
    for line in out.splitlines():
        if line.startswith("Pages:"):
            return int(line.split()[1])
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--render", required=True, help="path of verolux-render")
    ap.add_argument("--template", required=True, help="orders.grf")
    ap.add_argument("--rows", default="1000,10000,32767")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--skip", default="", help="comma list of: reportlab,wkhtmltopdf")
    ap.add_argument("--keep", help="keep generated files in this folder")
    args = ap.parse_args()
    skip = set(filter(None, args.skip.split(",")))

    work = args.keep or tempfile.mkdtemp(prefix="vx-bench-")
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=work)

    print("order list -> PDF, median of %d runs, peak RSS in MB (work folder %s)" % (args.runs, work))
    print("load average before the run: %.2f %.2f %.2f on %d cores" % (os.getloadavg() + (os.cpu_count(),)))
    print("%7s  %-12s %8s %8s %8s %6s" % ("rows", "renderer", "seconds", "CPU s", "RSS MB", "pages"))
    results = []
    for n in [int(x) for x in args.rows.split(",")]:
        req = os.path.join(work, "orders-%d.json" % n)
        with open(req, "w", encoding="utf-8") as f:
            import json
            json.dump(gen_orders.make_request(n), f, ensure_ascii=False)
        page_html = os.path.join(work, "orders-%d.html" % n)
        html_orders.main(req, page_html)

        row = {"rows": n}
        runs = [("verolux", [args.render, args.template, req, os.path.join(work, "vx-%d.pdf" % n)])]
        if "reportlab" not in skip:
            runs.append(("reportlab", [PY, os.path.join(HERE, "reportlab_orders.py"), req,
                                       os.path.join(work, "rl-%d.pdf" % n)]))
        if "wkhtmltopdf" not in skip:
            runs.append(("wkhtmltopdf", ["wkhtmltopdf", "-q", "--page-size", "A4", "--disable-smart-shrinking",
                                         "-T", "12mm", "-B", "14mm", "-L", "12mm", "-R", "12mm", page_html,
                                         os.path.join(work, "wk-%d.pdf" % n)]))
        for name, cmd in runs:
            secs, cpu, rss = measure(cmd, args.runs, env)
            row[name] = (secs, rss, cpu)
            print("%7d  %-12s %8.3f %8.3f %8.1f %6d" % (n, name, secs, cpu, rss, pages(cmd[-1])), flush=True)
        results.append(row)

    print()
    print("%7s  %s" % ("rows", "verolux speed-up: others' wall seconds / verolux's (CPU seconds in brackets)"))
    for row in results:
        vx, vcpu = row["verolux"][0], row["verolux"][2]
        parts = ["%s %.1fx (%.1fx)" % (k, row[k][0] / vx, row[k][2] / max(vcpu, 1e-3))
                 for k in ("reportlab", "wkhtmltopdf") if k in row]
        print("%7d  %s" % (row["rows"], ", ".join(parts)))

    print()
    print("targets: 10,000 rows <= 0.5 s and >= 8x both; 32,767 rows <= 1.5 s, peak RSS <= 150 MB")
    for row in results:
        secs, rss, _ = row["verolux"]
        if row["rows"] == 10000:
            fast = all(row[k][0] / secs >= 8 for k in ("reportlab", "wkhtmltopdf") if k in row)
            print("  10000 rows: %.3f s %s, speed-up >= 8x: %s" % (secs, "ok" if secs <= 0.5 else "MISSED",
                                                                 "ok" if fast else "MISSED"))
        if row["rows"] == 32767:
            print("  32767 rows: %.3f s %s, %.1f MB %s" % (secs, "ok" if secs <= 1.5 else "MISSED",
                                                          rss, "ok" if rss <= 150 else "MISSED"))


if __name__ == "__main__":
    main()

"""Writes an order-list request as one HTML table (thead repeats on every printed page) for wkhtmltopdf."""
import html
import sys

from orders_common import HEADER, load_rows, table_rows

STYLE = """
body { font-family: 'WenQuanYi Micro Hei'; font-size: 8pt; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 0.5px solid #999; padding: 1px 3px; }
th { background: #dde4ee; }
thead { display: table-header-group; }
td.n { text-align: right; }
tr { page-break-inside: avoid; }
tr.s td { background: #f2f2f2; }
"""


def main(src, out):
    req, rows = load_rows(src)
    parts = ['<!DOCTYPE html><html><head><meta charset="utf-8"><style>', STYLE, "</style></head><body>",
             "<h3>%s</h3>" % html.escape(req.get("title", "")), "<table><thead><tr>"]
    parts += ["<th>%s</th>" % html.escape(h) for h in HEADER]
    parts.append("</tr></thead><tbody>")
    for kind, cells in table_rows(rows):
        parts.append('<tr class="s">' if kind != "row" else "<tr>")
        for i, c in enumerate(cells):
            parts.append('<td class="n">%s</td>' % html.escape(c) if i >= 4 else "<td>%s</td>" % html.escape(c))
        parts.append("</tr>")
    parts.append("</tbody></table></body></html>")
    with open(out, "w", encoding="utf-8") as f:
        f.write("".join(parts))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: html_orders.py REQUEST.json OUT.html")
    main(sys.argv[1], sys.argv[2])

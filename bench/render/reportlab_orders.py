"""Renders an order-list request with ReportLab (platypus Table, header repeated on every page)."""
import sys

from reportlab.lib import colors
from reportlab.lib.pagesizes import A4
from reportlab.lib.units import mm
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.platypus import Paragraph, SimpleDocTemplate, Table, TableStyle
from reportlab.lib.styles import ParagraphStyle

from orders_common import HEADER, load_rows, table_rows

FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"


def page_footer(canvas, doc):
    canvas.saveState()
    canvas.setFont("wqy", 8)
    canvas.drawRightString(A4[0] - 12 * mm, 8 * mm, "第 %d 页" % doc.page)
    canvas.restoreState()


def main(src, out):
    pdfmetrics.registerFont(TTFont("wqy", FONT, subfontIndex=0))
    req, rows = load_rows(src)
    data = [HEADER]
    styles = [
        ("FONT", (0, 0), (-1, -1), "wqy", 8),
        ("BACKGROUND", (0, 0), (-1, 0), colors.HexColor("#dde4ee")),
        ("GRID", (0, 0), (-1, -1), 0.25, colors.grey),
        ("ALIGN", (4, 0), (-1, -1), "RIGHT"),
    ]
    for kind, cells in table_rows(rows):
        data.append(cells)
        if kind != "row":
            styles.append(("BACKGROUND", (0, len(data) - 1), (-1, len(data) - 1), colors.HexColor("#f2f2f2")))
    widths = [w * mm for w in (24, 20, 42, 46, 14, 18, 22)]
    table = Table(data, colWidths=widths, repeatRows=1)
    table.setStyle(TableStyle(styles))
    title = ParagraphStyle("t", fontName="wqy", fontSize=14, leading=18)
    doc = SimpleDocTemplate(out, pagesize=A4, leftMargin=12 * mm, rightMargin=12 * mm,
                            topMargin=12 * mm, bottomMargin=14 * mm)
    doc.build([Paragraph(req.get("title", ""), title), table],
              onFirstPage=page_footer, onLaterPages=page_footer)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: reportlab_orders.py REQUEST.json OUT.pdf")
    main(sys.argv[1], sys.argv[2])

"""What the ReportLab and HTML renderers share: the request's rows as the table the order list prints."""
import json

HEADER = ["订单号", "日期", "客户", "商品", "数量", "单价", "金额"]


def load_rows(path):
    with open(path, encoding="utf-8") as f:
        req = json.load(f)
    return req, req["repdata"]


def table_rows(rows):
    """Yields ("row", cells) for each order and ("subtotal", cells) after each customer, then ("total", cells).

    The same subtotals and grand total as the order-list template, so all renderers draw comparable work.
    """
    current, sub, total, count = None, 0.0, 0.0, 0
    for r in rows:
        if current is not None and r["customer"] != current:
            yield "subtotal", ["", "", current + " 小计", "", str(count), "", "%.2f" % sub]
            sub, count = 0.0, 0
        current = r["customer"]
        amount = float(r["amount"])
        sub += amount
        total += amount
        count += 1
        yield "row", [r["orderNo"], r["orderDate"], r["customer"], r["product"],
                      str(r["quantity"]), r["price"], r["amount"]]
    if current is not None:
        yield "subtotal", ["", "", current + " 小计", "", str(count), "", "%.2f" % sub]
    yield "total", ["", "", "合计", "", str(len(rows)), "", "%.2f" % total]

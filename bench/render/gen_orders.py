"""Writes a print request with an order list of N rows, grouped by customer, for orders.grf."""
import json
import random
import sys

CUSTOMERS = [
    "上海华东贸易有限公司", "北京中关村电子商城", "Acme Industrial GmbH", "广州南方物流集团",
    "深圳前海科技有限公司", "Northwind Traders", "杭州西湖丝绸厂", "成都天府食品有限公司",
    "武汉长江机械制造", "Contoso Retail Ltd.", "南京金陵办公用品", "重庆山城汽配",
]
PRODUCTS = [
    ("A4 复印纸 80g", 25.50), ("激光打印机硒鼓", 368.00), ("USB-C 数据线 1m", 19.90),
    ("Ergonomic office chair", 899.00), ("不锈钢保温杯 500ml", 59.00), ("机械键盘 87 键", 329.00),
    ("27\" monitor stand", 149.00), ("订书机 (重型)", 45.80), ("文件柜 四抽", 1280.00),
    ("中性笔 0.5mm 黑 (12支)", 18.60), ("Label printer ribbon", 76.40), ("无线鼠标", 89.00),
]


def make_rows(n, seed=20240601):
    rnd = random.Random(seed)
    # Customers get contiguous blocks so the template's group by customer sees real groups.
    per_customer = max(1, n // len(CUSTOMERS))
    rows = []
    for i in range(n):
        cust = CUSTOMERS[min(i // per_customer, len(CUSTOMERS) - 1)]
        name, price = PRODUCTS[rnd.randrange(len(PRODUCTS))]
        qty = rnd.randint(1, 120)
        rows.append({
            "customer": cust,
            "orderNo": "SO%07d" % (100000 + i),
            "orderDate": "2024-%02d-%02d" % (1 + (i // 28) % 12, 1 + i % 28),
            "product": name,
            "quantity": qty,
            "price": "%.2f" % price,
            "amount": "%.2f" % (qty * price),
        })
    return rows


def make_request(n):
    return {
        "preview": "2",
        "repname": "orders.grf",
        "reptype": "",
        "reguserno": "",
        "reporturl": "",
        "reportmd5": "",
        "reprintname": "",
        "sdesign": "0",
        "reportId": "bench-%d" % n,
        "reportAdd": "",
        "reportDownurl": "",
        "repdata": make_rows(n),
        "company": "维罗勒克斯演示公司",
        "title": "订单明细表",
    }


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: gen_orders.py ROWS OUT.json")
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        json.dump(make_request(int(sys.argv[1])), f, ensure_ascii=False)

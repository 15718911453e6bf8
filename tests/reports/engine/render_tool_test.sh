#!/usr/bin/env bash
# verolux-render end to end: a request file in, a PDF out, read back with pdftotext.
set -u
tool="$1"; src="$2"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$tool" "$src/demo/templates/orders.grf" "$src/tests/reports/engine/data/orders-request.json" "$work/o.pdf" \
  || fail "render failed"
# The report's own texts are PdfOutputTest's; here the request reaches it (the fill is shared with the
# windows and tested there).
pdfinfo "$work/o.pdf" | grep -q "595.276 x 841.89 pts (A4)" || fail "orders not on A4"
text=$(pdftotext -raw "$work/o.pdf" -)
for want in "维罗勒克斯演示公司" "SO0000004" "合计（4 笔）" "¥991.10" "第 1 页 / 共 1 页"; do
  grep -qF -- "$want" <<<"$text" || fail "missing '$want' in: $text"
done

# The label sheet sample: three labels across, seven lines a sheet; 24 labels make two pages.
"$tool" "$src/demo/templates/labels.grf" "$src/demo/requests/labels.json" "$work/l.pdf" || fail "labels render failed"
pages=$(pdfinfo "$work/l.pdf" | sed -n 's/^Pages: *//p')
[ "$pages" = 2 ] || fail "labels: $pages pages, expected 2"
p1=$(pdftotext -layout -f 1 -l 1 "$work/l.pdf" -)
grep -qE "农夫山泉 饮用天然水 +康师傅 红烧牛肉面 +伊利 纯牛奶" <<<"$p1" || fail "first line of labels not side by side: $p1"
grep -qE "¥2\.00 +¥4\.50 +¥69\.90" <<<"$p1" || fail "prices of the first line: $p1"
# EAN-13 digits as GS1 groups them: the first, then six and six.
grep -qE "SKU-100231 +6 921168 509256 +SKU-100487" <<<"$p1" || fail "barcode texts of the first line: $p1"
grep -qE "公牛 插线板 五孔 1\.8m" <<<"$p1" && fail "label 23 on page 1"
p2=$(pdftotext -layout -f 2 -l 2 "$work/l.pdf" - | tr -d ' ')
grep -qF "良品铺子猪肉脯公牛插线板五孔1.8m心相印湿巾家庭装" <<<"$p2" || fail "last line of labels: $p2"
grep -qF "本页3张" <<<"$p2" || fail "page count of labels: $p2"
grep -qF "第2页/共2页" <<<"$p2" || fail "page X of Y on the label sheet: $p2"

# A 1 MB customer name (the group key) in the first row: wrapped in its cell over hundreds of pages, with
# the group header repeated on each. Every word of it is printed, the pages count themselves right.
/usr/bin/python3 - "$src/demo/requests/orders.json" "$work/long.json" <<'PY'
import json, sys
req = json.load(open(sys.argv[1], encoding="utf-8"))
req["repdata"][0]["customer"] = "".join("w%06d " % i for i in range(131072))  # 1 MB
json.dump(req, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PY
"$tool" "$src/demo/templates/orders.grf" "$work/long.json" "$work/long.pdf" || fail "1 MB group key failed"
pages=$(pdfinfo "$work/long.pdf" | sed -n 's/^Pages: *//p')
[ "$pages" -gt 300 ] || fail "1 MB group key on $pages pages"
words=$(pdftotext -raw "$work/long.pdf" - | grep -oE 'w[0-9]{6}' | sort -u | wc -l)
[ "$words" = 131072 ] || fail "1 MB group key: $words of 131072 words printed"
p2=$(pdftotext -raw -f 2 -l 2 "$work/long.pdf" -)
grep -qF "客户：w000000 w000001" <<<"$p2" || fail "group header not repeated on page 2: ${p2:0:400}"
grep -qF "第 2 页 / 共 $pages 页" <<<"$p2" || fail "page 2 of $pages: ${p2: -400}"
last=$(pdftotext -raw -f "$pages" -l "$pages" "$work/long.pdf" -)
grep -qF "合计（80 笔）" <<<"$last" || fail "report footer not on the last page"

# Pictures of 6000 x 5000 pixels: in 60 x 50 mm boxes they are decoded and embedded at 300 dpi (709 x 591);
# seventeen in page-sized boxes take the template past its pixel budget, and it is refused when it loads.
/usr/bin/python3 - "$work" <<'PY'
import base64, json, sys, zlib
def png(width, height, rgb):  # one colour, a white band across the middle third
    def chunk(kind, data):
        return len(data).to_bytes(4, "big") + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")
    plain, band, z = b"\0" + bytes(rgb) * width, b"\0" + b"\xff" * (3 * width), zlib.compressobj(6)
    idat = b"".join(z.compress(band if height // 3 <= y < 2 * height // 3 else plain) for y in range(height))
    ihdr = width.to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([8, 2, 0, 0, 0])
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat + z.flush()) + chunk(b"IEND", b"")
def template(pictures, w, h, path):
    items = [{"type": "image", "x": (i % 3) * 62, "y": 0, "w": w, "h": h,
              "data": base64.b64encode(p).decode()} for i, p in enumerate(pictures)]
    json.dump({"format": "verolux-report", "version": 1, "fields": [{"name": "n"}],
               "bands": {"reportHeader": {"height": h, "items": items}}}, open(path, "w"))
red, blue = png(6000, 5000, (255, 0, 0)), png(6000, 5000, (0, 0, 255))
template([red, blue, red], 60, 50, sys.argv[1] + "/pictures.grf")
template([red] * 17, 180, 250, sys.argv[1] + "/over.grf")
json.dump({"repdata": [{"n": "1"}]}, open(sys.argv[1] + "/one.json", "w"))
PY
"$tool" "$work/pictures.grf" "$work/one.json" "$work/p.pdf" || fail "pictures failed"
sizes=$(pdfimages -list "$work/p.pdf" | awk 'NR > 2 {print $4 "x" $5 "@" $13}' | sort | uniq -c | tr -s ' ')
[ "$sizes" = " 3 709x591@300" ] || fail "pictures not embedded at 300 dpi: $sizes"
# At 10 dpi (a pixel 2.54 mm), 15 mm from the left margin: the first picture's red, its white band, the
# second's blue.
pdftoppm -r 10 -f 1 -l 1 "$work/p.pdf" "$work/shot"
/usr/bin/python3 - "$work"/shot*.ppm <<'PY' || fail "pictures do not look right"
import sys
data = open(sys.argv[1], "rb").read()
fields = data.split(maxsplit=4)  # P6, width, height, max, pixels
width, pixels = int(fields[1]), fields[4]
def at(x_mm, y_mm):
    i = 3 * (int(y_mm / 2.54) * width + int(x_mm / 2.54))
    return tuple(pixels[i:i + 3])
want = {(25, 18): (255, 0, 0), (25, 33): (255, 255, 255), (87, 18): (0, 0, 255), (149, 50): (255, 0, 0)}
got = {k: at(*k) for k in want}
bad = {k: v for k, v in got.items() if max(abs(a - b) for a, b in zip(v, want[k])) > 40}
sys.exit("at (x, y) mm: %s, want %s" % (bad, want) if bad else 0)
PY
"$tool" "$work/over.grf" "$work/one.json" "$work/o2.pdf" 2>"$work/err" && fail "pictures past the budget accepted"
[ -e "$work/o2.pdf" ] && fail "PDF written past the picture budget"
grep -qF "over.grf: bands.reportHeader.items[16].data: a picture of 6000 x 5000 pixels, printed at 2126 x 1772, takes the template's pictures past 64000000 pixels" "$work/err" \
  || fail "unclear picture budget error: $(cat "$work/err")"

# Failures: exit code 1, a reason on stderr, no PDF left behind.
echo '{"repdata": ' > "$work/bad.json"
"$tool" "$src/demo/templates/orders.grf" "$work/bad.json" "$work/bad.pdf" 2>"$work/err" && fail "bad JSON accepted"
[ -e "$work/bad.pdf" ] && fail "PDF written for a bad request"
echo '{"company": "x"}' > "$work/norows.json"
"$tool" "$src/demo/templates/orders.grf" "$work/norows.json" "$work/n.pdf" 2>"$work/err" && fail "missing repdata accepted"
grep -q "repdata" "$work/err" || fail "reason does not name repdata: $(cat "$work/err")"
/usr/bin/python3 -c 'import json; print(json.dumps({"repdata": [{}] * 32768}))' > "$work/big.json"
"$tool" "$src/demo/templates/orders.grf" "$work/big.json" "$work/big.pdf" 2>"$work/err" && fail "32768 rows accepted"
echo '{}' > "$work/broken.grf"
"$tool" "$work/broken.grf" "$src/tests/reports/engine/data/orders-request.json" "$work/x.pdf" 2>"$work/err" \
  && fail "broken template accepted"
grep -q 'broken.grf: missing key "format"' "$work/err" || fail "unclear template error: $(cat "$work/err")"
echo "ok"

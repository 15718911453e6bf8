// The demo page: lists the backend's sample templates, builds requests with buildPrintRequest() from
// verolux-client.js, sends them to the agent and shows what comes back and what was uploaded.
// URL options: ?agent=PORT (or a full ws:// URL), and for unattended runs
// ?auto=print|preview|pdf|design&template=NAME&rows=N&printer=NAME&reportId=ID (sent once connected).
(function () {
    "use strict";

    var query = new URLSearchParams(location.search);
    var agentUrl = (function () {
        var a = query.get("agent");
        if (!a) return "ws://127.0.0.1:28502";
        return /^wss?:\/\//.test(a) ? a : "ws://127.0.0.1:" + a;
    })();

    var templates = [];
    var autoSent = false;
    var knownUploads = null;

    function $(id) { return document.getElementById(id); }

    function el(tag, attrs, children) {
        var node = document.createElement(tag);
        for (var k in attrs || {}) {
            if (k === "text") node.textContent = attrs[k];
            else if (k === "className") node.className = attrs[k];
            else node.setAttribute(k, attrs[k]);
        }
        (children || []).forEach(function (c) { if (c) node.appendChild(c); });
        return node;
    }

    function pad(n, width) { return String(n).padStart(width, "0"); }
    function dateText(d) { return d.getFullYear() + "-" + pad(d.getMonth() + 1, 2) + "-" + pad(d.getDate(), 2); }
    function timeText(d) { return pad(d.getHours(), 2) + ":" + pad(d.getMinutes(), 2) + ":" + pad(d.getSeconds(), 2); }
    function stamp(d) { return dateText(d).replace(/-/g, "") + "-" + timeText(d).replace(/:/g, ""); }

    // ---- sample data -------------------------------------------------------------------------

    var CUSTOMERS = ["上海华东贸易有限公司", "北京京北科技有限公司", "广州南方电子商行", "成都天府办公用品店",
                     "杭州西湖文具有限公司", "Shenzhen Bay Trading Co."];
    var PRODUCTS = [
        { name: "激光打印机硒鼓", model: "CF276A 黑色", unit: "个", price: 368 },
        { name: "A4 复印纸 80g（5包/箱）", model: "500张/包", unit: "箱", price: 129.5 },
        { name: "无线键鼠套装", model: "MK295", unit: "套", price: 149 },
        { name: "27\" monitor stand", model: "VESA 100", unit: "个", price: 239 },
        { name: "得力 中性笔 0.5mm 黑", model: "12支/盒", unit: "盒", price: 18.6 },
        { name: "标签色带", model: "110mm×300m 蜡基", unit: "卷", price: 36 },
        { name: "办公椅（人体工学，带头枕、可调扶手、网布靠背）", model: "BZ-220", unit: "把", price: 899 },
        { name: "USB-C 扩展坞", model: "7合1 100W PD", unit: "个", price: 239 }
    ];
    var ORIGINS = ["浙江杭州", "天津", "广东江门", "内蒙古呼和浩特", "江苏苏州", "四川成都"];

    function ean13(seed) {
        var digits = "692" + pad(seed % 1000000000, 9);
        var sum = 0;
        for (var i = 0; i < 12; i++) sum += Number(digits[i]) * (i % 2 ? 3 : 1);
        return digits + ((10 - sum % 10) % 10);
    }

    // One row for each field of the template, by field name where we know it, else by type.
    function sampleRows(template, count) {
        var fields = template.fields || [];
        var perCustomer = Math.max(1, Math.ceil(count / CUSTOMERS.length));
        var start = new Date(2024, 5, 1);
        var rows = [];
        for (var i = 0; i < count; i++) {
            var p = PRODUCTS[i % PRODUCTS.length];
            var qty = 1 + (i * 7) % 30;
            var known = {
                customer: CUSTOMERS[Math.floor(i / perCustomer) % CUSTOMERS.length],
                orderNo: "SO" + pad(100000 + i, 7),
                orderDate: dateText(new Date(start.getTime() + i * 86400000)),
                date: dateText(new Date(start.getTime() + i * 86400000)),
                product: p.name, name: p.name, model: p.model, unit: p.unit,
                quantity: qty, qty: qty,
                price: p.price.toFixed(2),
                amount: (Math.round(qty * p.price * 100) / 100).toFixed(2),
                sku: "SKU-" + (100000 + i * 37),
                ean: ean13(1234567 + i * 101),
                origin: ORIGINS[i % ORIGINS.length]
            };
            var row = {};
            fields.forEach(function (f) {
                if (Object.prototype.hasOwnProperty.call(known, f.name)) row[f.name] = known[f.name];
                else if (f.type === "integer") row[f.name] = i + 1;
                else if (f.type === "decimal") row[f.name] = (i + 1) * 1.5;
                else if (f.type === "currency") row[f.name] = ((i + 1) * 10).toFixed(2);
                else if (f.type === "datetime") row[f.name] = known.date;
                else if (f.type === "boolean") row[f.name] = i % 2 === 0;
                else row[f.name] = f.name + " " + (i + 1);
            });
            rows.push(row);
        }
        return rows;
    }

    function sampleParams(template) {
        var today = new Date();
        var known = {
            company: "维罗勒克斯科技有限公司",
            invoiceNo: "NO." + stamp(today).slice(0, 8) + "-0042",
            invoiceDate: dateText(today),
            sellerTaxId: "91310000MA1K3X0A2B",
            sellerAddress: "上海市浦东新区张江路 88 号 021-5088 0000",
            sellerBank: "招商银行上海张江支行 1219 0880 0010 001",
            buyer: CUSTOMERS[0],
            buyerTaxId: "91310101MA1FP0XX7Q",
            buyerAddress: "上海市黄浦区南京东路 100 号",
            buyerPhone: "021-6321 0000",
            remark: "演示数据 / demo data",
            issuer: "张敏",
            checkUrl: location.origin + "/",
            printedBy: "演示页"
        };
        var params = {};
        (template.parameters || []).forEach(function (p) {
            if (Object.prototype.hasOwnProperty.call(known, p.name)) params[p.name] = known[p.name];
            else if (p.default !== undefined) params[p.name] = p.default;
            else if (p.type === "datetime") params[p.name] = dateText(today);
            else params[p.name] = "";
        });
        return params;
    }

    // ---- requests ------------------------------------------------------------------------------

    var MODE_LABEL = { print: "打印 Print", preview: "预览 Preview", pdf: "PDF", design: "设计 Design" };

    function sendJob(template, mode, rowCount, printer, reportId) {
        var base = template.name.replace(/\.grf$/i, "");
        var rows = sampleRows(template, rowCount);
        // A design is saved back under the template's own name, so the next print uses it.
        var id = reportId || (mode === "design" ? base : base + "-" + stamp(new Date()));
        var text = buildPrintRequest({
            mode: mode,
            template: template,
            rows: rows,
            params: sampleParams(template),
            printer: printer,
            reportId: id,
            // 保存 in the designer posts the template to an address that names it.
            uploadUrl: location.origin + (mode === "design" ? "/upload/template/" + encodeURIComponent(template.name)
                                                            : "/upload/pdf")
        });
        showLastRequest(text);
        if (agent.send(text)) {
            log("out", "→ " + MODE_LABEL[mode] + " · " + template.name + " · " + rows.length + " 行 rows · reportId " + id +
                " · " + text.length + " bytes");
            return true;
        }
        log("warn", "未连接到打印代理，请求未发送 / not connected to the agent, request not sent");
        return false;
    }

    function showLastRequest(text) {
        var request = JSON.parse(text);
        var total = request.repdata.length;
        if (total > 2) request.repdata = request.repdata.slice(0, 2).concat(["… " + (total - 2) + " more rows"]);
        $("last-request").textContent = JSON.stringify(request, null, 2);
    }

    // ---- page ----------------------------------------------------------------------------------

    function log(kind, text) {
        var list = $("messages");
        var item = el("li", { className: "msg " + kind }, [
            el("time", { text: timeText(new Date()) }),
            el("span", { text: text })
        ]);
        list.insertBefore(item, list.firstChild);
        while (list.children.length > 200) list.removeChild(list.lastChild);
        $("messages-empty").hidden = true;
    }

    var STATE_TEXT = { connecting: "连接中 connecting", open: "已连接 connected", closed: "未连接 disconnected" };

    var retrying = false;
    var agent = new VeroluxAgent(agentUrl, {
        state: function (state, detail) {
            var pill = $("agent-state");
            pill.className = "pill " + state;
            pill.textContent = STATE_TEXT[state] || state;
            pill.setAttribute("data-state", state);
            if (state === "open") {
                retrying = false;
                log("info", "已连接打印代理 / connected to " + agentUrl);
            }
            // The page retries every few seconds; say so once, not on every attempt.
            if (state === "closed" && !retrying) {
                retrying = true;
                log("info", "未连接 / not connected (" + detail + ")，每 3 秒重试 · retrying every 3 s");
            }
            maybeAuto();
        },
        message: function (text) { log("in", "← " + text); }
    });

    function renderTemplates() {
        var box = $("templates");
        box.textContent = "";
        if (!templates.length) {
            box.appendChild(el("p", { className: "empty", text: "后端没有模板 / no templates on the backend" }));
            return;
        }
        templates.forEach(function (t) {
            var rows = el("input", { type: "number", className: "rows", min: "0", max: "32767", value: "20" });
            var printer = el("input", { type: "text", className: "printer", placeholder: "默认 default" });
            var actions = el("div", { className: "actions" });
            ["print", "preview", "pdf", "design"].forEach(function (mode) {
                var b = el("button", { type: "button", "data-action": mode, className: mode, text: MODE_LABEL[mode] });
                b.addEventListener("click", function () {
                    var n = Math.max(0, Math.min(32767, parseInt(rows.value, 10) || 0));
                    sendJob(t, mode, n, printer.value.trim());
                });
                actions.appendChild(b);
            });
            var fieldNames = (t.fields || []).map(function (f) { return f.name; }).join(", ");
            var card = el("article", { className: "card", "data-template": t.name }, [
                el("header", {}, [
                    el("h3", { text: t.title || t.name }),
                    el("code", { text: t.name }),
                    t.edited ? el("span", { className: "badge", text: "已修改 edited" }) : null
                ]),
                el("p", { className: "meta" }, [
                    document.createTextNode("MD5 "), el("code", { text: t.md5 }),
                    document.createTextNode(" · " + formatSize(t.size))
                ]),
                el("p", { className: "meta", text: "字段 fields: " + (fieldNames || "—") }),
                el("div", { className: "job" }, [
                    el("div", { className: "controls" }, [
                        el("label", {}, [document.createTextNode("行数 rows"), rows]),
                        el("label", {}, [document.createTextNode("打印机 printer"), printer])
                    ]),
                    actions
                ])
            ]);
            box.appendChild(card);
        });
    }

    function loadTemplates() {
        return fetch("/api/templates", { cache: "no-store" })
            .then(function (r) { return r.json(); })
            .then(function (list) {
                templates = list;
                renderTemplates();
                maybeAuto();
            })
            .catch(function (e) { log("warn", "模板列表读取失败 / cannot list templates: " + e); });
    }

    function formatSize(n) {
        if (n < 1024) return n + " B";
        if (n < 1048576) return (n / 1024).toFixed(1) + " KB";
        return (n / 1048576).toFixed(1) + " MB";
    }

    function pollUploads() {
        fetch("/api/uploads", { cache: "no-store" })
            .then(function (r) { return r.json(); })
            .then(function (list) {
                var body = $("uploads");
                body.textContent = "";
                list.slice(0, 30).forEach(function (u) {
                    var isNew = knownUploads && !knownUploads[u.name + u.timeMs];
                    body.appendChild(el("tr", { className: isNew ? "new" : "" }, [
                        el("td", {}, [el("a", { href: u.url, target: "_blank", text: u.name })]),
                        el("td", { className: "num", text: formatSize(u.size) }),
                        el("td", { text: u.time.slice(5, 19) })
                    ]));
                    if (isNew) log("info", "后端收到上传 / backend received " + u.name + " (" + formatSize(u.size) + ")");
                });
                // A template saved in the designer: show its new MD5, which the next print sends.
                if (knownUploads && list.some(function (u) { return /\.grf$/.test(u.name) && !knownUploads[u.name + u.timeMs]; }))
                    loadTemplates();
                knownUploads = {};
                list.forEach(function (u) { knownUploads[u.name + u.timeMs] = true; });
                $("uploads-empty").hidden = list.length > 0;
            })
            .catch(function () {})
            .then(function () { setTimeout(pollUploads, 2000); });
    }

    function maybeAuto() {
        var mode = query.get("auto");
        if (autoSent || !mode || agent.state !== "open" || !templates.length) return;
        var name = query.get("template") || templates[0].name;
        var t = templates.filter(function (x) { return x.name === name; })[0];
        if (!t) {
            log("warn", "auto: no template " + name);
            return;
        }
        autoSent = sendJob(t, mode, parseInt(query.get("rows") || "5", 10), query.get("printer") || "",
                           query.get("reportId") || "");
        document.body.setAttribute("data-auto", autoSent ? "sent" : "failed");
    }

    document.addEventListener("DOMContentLoaded", function () {
        $("agent-url").textContent = agentUrl;
        $("reconnect").addEventListener("click", function () { agent.connect(); });
        $("clear-log").addEventListener("click", function () {
            $("messages").textContent = "";
            $("messages-empty").hidden = false;
        });
        agent.connect();
        loadTemplates();
        pollUploads();
    });
})();

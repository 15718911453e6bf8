// The demo page: lists the backend's sample templates and the agent's printers, sends jobs with
// verolux-client.js and shows their states as the agent reports them, plus the client code of the
// last job. URL options: ?agent=PORT (or a full ws:// URL), and for unattended runs
// ?auto=print|preview|pdf|design&template=NAME&rows=N&printer=NAME&reportId=ID (sent once connected;
// several templates separated by commas send one job each, with one mode each if `auto` lists them).
import { buildPrintRequest, VeroluxAgent } from "./verolux-client.js";

const query = new URLSearchParams(location.search);
const agentUrl = (() => {
    const a = query.get("agent");
    if (!a) return undefined; // this user's agent on the ports of the machine's agents
    return /^wss?:\/\//.test(a) ? a : `ws://127.0.0.1:${a}/`;
})();
const agentWhere = agentUrl || "ws://127.0.0.1:28502/ … 28511";

let templates = [];
let printers = [];
let autoSent = false;
let knownUploads = null;

const $ = (id) => document.getElementById(id);

function el(tag, attrs, children) {
    const node = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs || {})) {
        if (k === "text") node.textContent = v;
        else if (k === "className") node.className = v;
        else node.setAttribute(k, v);
    }
    for (const c of children || []) if (c) node.appendChild(c);
    return node;
}

function pad(n, width) { return String(n).padStart(width, "0"); }
function dateText(d) { return d.getFullYear() + "-" + pad(d.getMonth() + 1, 2) + "-" + pad(d.getDate(), 2); }
function timeText(d) { return pad(d.getHours(), 2) + ":" + pad(d.getMinutes(), 2) + ":" + pad(d.getSeconds(), 2); }
function stamp(d) { return dateText(d).replace(/-/g, "") + "-" + timeText(d).replace(/:/g, ""); }

// ---- sample data -------------------------------------------------------------------------

const CUSTOMERS = ["上海华东贸易有限公司", "北京京北科技有限公司", "广州南方电子商行", "成都天府办公用品店",
                 "杭州西湖文具有限公司", "Shenzhen Bay Trading Co."];
const PRODUCTS = [
    { name: "激光打印机硒鼓", model: "CF276A 黑色", unit: "个", price: 368 },
    { name: "A4 复印纸 80g（5包/箱）", model: "500张/包", unit: "箱", price: 129.5 },
    { name: "无线键鼠套装", model: "MK295", unit: "套", price: 149 },
    { name: "27\" monitor stand", model: "VESA 100", unit: "个", price: 239 },
    { name: "得力 中性笔 0.5mm 黑", model: "12支/盒", unit: "盒", price: 18.6 },
    { name: "标签色带", model: "110mm×300m 蜡基", unit: "卷", price: 36 },
    { name: "办公椅（人体工学，带头枕、可调扶手、网布靠背）", model: "BZ-220", unit: "把", price: 899 },
    { name: "USB-C 扩展坞", model: "7合1 100W PD", unit: "个", price: 239 }
];
const ORIGINS = ["浙江杭州", "天津", "广东江门", "内蒙古呼和浩特", "江苏苏州", "四川成都"];

function ean13(seed) {
    const digits = "692" + pad(seed % 1000000000, 9);
    let sum = 0;
    for (let i = 0; i < 12; i++) sum += Number(digits[i]) * (i % 2 ? 3 : 1);
    return digits + ((10 - sum % 10) % 10);
}

// One row for each field of the template, by field name where we know it, else by type.
function sampleRows(template, count) {
    const fields = template.fields || [];
    const perCustomer = Math.max(1, Math.ceil(count / CUSTOMERS.length));
    const start = new Date(2024, 5, 1);
    const rows = [];
    for (let i = 0; i < count; i++) {
        const p = PRODUCTS[i % PRODUCTS.length];
        const qty = 1 + (i * 7) % 30;
        const known = {
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
        const row = {};
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
    const today = new Date();
    const known = {
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
    const params = {};
    (template.parameters || []).forEach(function (p) {
        if (Object.prototype.hasOwnProperty.call(known, p.name)) params[p.name] = known[p.name];
        else if (p.default !== undefined) params[p.name] = p.default;
        else if (p.type === "datetime") params[p.name] = dateText(today);
        else params[p.name] = "";
    });
    return params;
}

// ---- jobs ------------------------------------------------------------------------------------

const MODE_LABEL = { print: "打印 Print", preview: "预览 Preview", pdf: "PDF", design: "设计 Design", raw: "原始 Raw", document: "文档 Document" };
const STATE_LABEL = {
    sending: "发送 sending", accepted: "已接收 accepted", spooled: "已送打印机 spooled", waiting: "等待 waiting",
    completed: "已打印 printed", uploaded: "已上传 uploaded", shown: "已显示 shown", opened: "已打开 opened",
    failed: "失败 failed"
};

// The agent object from the start, so the page hears every state, the first attempt included.
const agent = new VeroluxAgent({ url: agentUrl });

function sendJob(template, mode, rowCount, printer, copies, reportId) {
    const base = template.name.replace(/\.grf$/i, "");
    const rows = sampleRows(template, rowCount);
    // A design is saved back under the template's own name, so the next print uses it.
    const id = reportId || (mode === "design" ? base : base + "-" + stamp(new Date()));
    const job = {
        mode, template: { name: template.name, url: template.url, md5: template.md5 }, rows,
        params: sampleParams(template), printer, reportId: id,
        // 保存 in the designer posts the template to an address that names it.
        uploadUrl: location.origin + (mode === "design" ? "/upload/template/" + encodeURIComponent(template.name)
                                                        : "/upload/pdf")
    };
    const options = mode === "print" && copies > 1 ? { copies } : {};
    showSnippet(job, options);
    const row = addJob(template.name, mode, rows.length, id);
    return Promise.resolve()
        .then(() => agent.print(buildPrintRequest(job), { ...options, onState: (e) => row.update(e) }))
        .then((e) => row.update(e))
        .catch((e) => row.fail(e));
}

// A label in ZPL (Chinese text in the printer's GB18030 font) and a receipt in ESC/POS.
const RAW_SAMPLES = {
    zpl: (n) => "^XA^CI26^FO40,30^A@N,36,36,E:SIMSUN.TTF^FD货号 A-17^FS" +
                `^FO40,80^BY2^BCN,60,Y,N,N^FD${n}^FS^XZ`,
    escpos: (n) => "\x1b@\x1ba\x01\x1b!\x30Verolux\n\x1b!\x00\x1ba\x00" +
                   `单号 ${n}\n商品 A-17   x2   ¥ 35.00\n合计          ¥ 70.00\n\n\n\x1dV\x01`
};

function sendRaw(kind) {
    const printer = $("raw-printer").value;
    const encoding = $("raw-encoding").value;
    const text = RAW_SAMPLES[kind](stamp(new Date()));
    $("snippet").textContent = `await agent.printRaw(${JSON.stringify(printer)}, ` +
        `{ text: ${JSON.stringify(text)}, encoding: ${JSON.stringify(encoding)} });`;
    const row = addJob(kind === "zpl" ? "ZPL" : "ESC/POS", "raw", 0, printer || "—");
    return Promise.resolve()
        .then(() => agent.printRaw(printer, { text, encoding }, { onState: (e) => row.update(e) }))
        .then((e) => row.update(e))
        .catch((e) => row.fail(e));
}

function sendDocument(action = "print") {
    const url = $("doc-url").value;
    const printer = $("doc-printer").value;
    const options = { fit: $("doc-fit").value, ...(printer ? { printer } : {}), ...(action === "print" ? {} : { action }) };
    $("snippet").textContent = `await agent.printDocument({ url: ${JSON.stringify(url)} }, ${JSON.stringify(options)});`;
    const row = addJob(url.replace(/^.*\//, "") || "PDF", "document", 0, printer || "默认 default");
    return Promise.resolve()
        .then(() => agent.printDocument({ url }, { ...options, onState: (e) => row.update(e) }))
        .then((e) => row.update(e))
        .catch((e) => row.fail(e));
}

function addJob(name, mode, rowCount, reportId) {
    const states = el("span", { className: "states", text: STATE_LABEL.sending });
    const detail = el("div", { className: "detail" });
    const item = el("li", { className: "job-item sending" }, [
        el("div", {}, [
            el("time", { text: timeText(new Date()) }),
            el("strong", { text: " " + MODE_LABEL[mode] + " " }),
            el("code", { text: name }),
            el("span", { className: "meta", text: mode === "raw" || mode === "document" ? ` · ${reportId}` : ` · ${rowCount} 行 rows · ${reportId}` })
        ]),
        states, detail
    ]);
    $("jobs").insertBefore(item, $("jobs").firstChild);
    $("jobs-empty").hidden = true;
    const seen = [];
    return {
        update(e) {
            if (seen[seen.length - 1] === e.state) return;
            seen.push(e.state);
            states.textContent = seen.map((s) => STATE_LABEL[s] || s).join(" → ");
            item.className = "job-item " + e.state;
            const facts = [];
            if (e.cupsJobId) facts.push("CUPS #" + e.cupsJobId);
            if (e.httpStatus) facts.push("HTTP " + e.httpStatus);
            if (e.reason) facts.push(e.reason);
            detail.textContent = facts.join(" · ");
        },
        fail(error) {
            if (error && error.event) this.update(error.event);
            item.className = "job-item failed";
            detail.textContent = `${error.code}: ${error.message}`;
        }
    };
}

// The last job as a page would write it with the client module: two rows, one line each.
function showSnippet(job, options) {
    const rows = job.rows.slice(0, 2).map((r) => "    " + JSON.stringify(r)).join(",\n");
    const more = job.rows.length > 2 ? `\n    // … ${job.rows.length - 2} more rows` : "";
    const text = JSON.stringify({ ...job, rows: "ROWS" }, null, 2).replace('"ROWS"', `[\n${rows}${more}\n  ]`);
    $("snippet").textContent =
`import { connect, buildPrintRequest } from "verolux-client";

const agent = await connect(${agentUrl ? `{ url: ${JSON.stringify(agentUrl)} }` : ""});
const request = buildPrintRequest(${text});
try {
    const done = await agent.print(request, { ...${JSON.stringify(options)}, onState: (e) => console.log(e.state) });
    console.log("done:", done.state);
} catch (e) {
    console.error(e.code, e.message);
}
`;
}

// ---- page ----------------------------------------------------------------------------------

function logMessage(text) {
    const list = $("messages");
    list.insertBefore(el("li", { className: "msg in" }, [el("time", { text: timeText(new Date()) }),
                                                         el("span", { text: text })]), list.firstChild);
    while (list.children.length > 100) list.removeChild(list.lastChild);
    $("messages-empty").hidden = true;
}

let hintTimer = null;
const STATE_TEXT = { connecting: "连接中 connecting", open: "已连接 connected", closed: "未连接 disconnected",
                     refused: "本网站未获允许 site refused" };

agent.addEventListener("state", (e) => {
    const pill = $("agent-state");
    pill.className = "pill " + e.detail.state;
    pill.textContent = STATE_TEXT[e.detail.state] || e.detail.state;
    pill.setAttribute("data-state", e.detail.state);
    // No agent: the connection fails at once, or (a firewall) hangs; say so in either case.
    clearTimeout(hintTimer);
    if (e.detail.state === "closed") $("no-agent").hidden = false;
    if (e.detail.state === "open") $("no-agent").hidden = true;
    if (e.detail.state === "open") $("agent-url").textContent = agent.url; // the port this user's agent took
    if (e.detail.state === "refused") {
        $("no-agent").hidden = true;
        $("site-refused").hidden = false;
    }
    if (e.detail.state === "connecting") hintTimer = setTimeout(() => { $("no-agent").hidden = false; }, 1500);
    if (e.detail.state === "open") {
        agent.info().then((hello) => { $("agent-version").textContent = `Verolux ${hello.version}`; }, () => {});
        loadPrinters();
        maybeAuto();
    }
});
agent.addEventListener("reply", (e) => logMessage(e.detail));

function loadPrinters() {
    agent.printers().then((list) => {
        printers = list;
        renderPrinters();
        renderTemplates();
    }, (e) => {
        $("printers").textContent = "";
        $("printers").appendChild(el("li", { className: "empty", text: `${e.code}: ${e.message}` }));
    });
}

const PRINTER_STATE = { idle: "空闲 idle", printing: "打印中 printing", stopped: "已停止 stopped" };

function renderPrinters() {
    const box = $("printers");
    box.textContent = "";
    if (!printers.length) box.appendChild(el("li", { className: "empty", text: "没有打印机 · no printers" }));
    for (const p of printers) {
        const traits = [p.color ? "彩色 colour" : "黑白 mono", p.duplex ? "双面 duplex" : null,
                        p.acceptingJobs ? null : "不接受任务 not accepting"].filter(Boolean);
        box.appendChild(el("li", { className: "printer " + p.state }, [
            el("strong", { text: p.name }),
            p.isDefault ? el("span", { className: "badge ok", text: "默认 default" }) : null,
            el("span", { className: "state", text: PRINTER_STATE[p.state] || p.state }),
            el("div", { className: "meta", text: [p.description, p.stateReason, traits.join(" · ")].filter(Boolean).join(" — ") }),
            (p.trays || []).length
                ? el("div", { className: "meta trays", text: "纸盒 trays: " + p.trays.map((t) => t.text || t.name).join(" · ") })
                : null
        ]));
    }
    const raw = $("raw-printer");
    const chosen = raw.value;
    raw.textContent = "";
    for (const p of printers) raw.appendChild(el("option", { value: p.name, text: p.name }));
    if (printers.some((p) => p.name === chosen)) raw.value = chosen;
    const doc = $("doc-printer");
    const docChosen = doc.value;
    doc.textContent = "";
    doc.appendChild(el("option", { value: "", text: "默认 default" }));
    for (const p of printers) doc.appendChild(el("option", { value: p.name, text: p.name }));
    if (printers.some((p) => p.name === docChosen)) doc.value = docChosen;
}

function renderTemplates() {
    const box = $("templates");
    box.textContent = "";
    if (!templates.length) {
        box.appendChild(el("p", { className: "empty", text: "后端没有模板 / no templates on the backend" }));
        return;
    }
    for (const t of templates) {
        const rows = el("input", { type: "number", className: "rows", min: "0", max: "32767", value: "20" });
        const copies = el("input", { type: "number", className: "copies", min: "1", max: "999", value: "1" });
        const printer = el("select", { className: "printer" }, [el("option", { value: "", text: "默认 default" })]);
        for (const p of printers) printer.appendChild(el("option", { value: p.name, text: p.name }));
        const actions = el("div", { className: "actions" });
        for (const mode of ["print", "preview", "pdf", "design"]) {
            const b = el("button", { type: "button", "data-action": mode, className: mode, text: MODE_LABEL[mode] });
            b.addEventListener("click", () => {
                const n = Math.max(0, Math.min(32767, parseInt(rows.value, 10) || 0));
                sendJob(t, mode, n, printer.value, Math.max(1, Math.min(999, parseInt(copies.value, 10) || 1)));
            });
            actions.appendChild(b);
        }
        const fieldNames = (t.fields || []).map((f) => f.name).join(", ");
        box.appendChild(el("article", { className: "card", "data-template": t.name }, [
            el("header", {}, [
                el("h3", { text: t.title || t.name }),
                el("code", { text: t.name }),
                t.edited ? el("span", { className: "badge", text: "已修改 edited" }) : null
            ]),
            el("p", { className: "meta" }, [document.createTextNode("MD5 "), el("code", { text: t.md5 }),
                                             document.createTextNode(" · " + formatSize(t.size))]),
            el("p", { className: "meta", text: "字段 fields: " + (fieldNames || "—") }),
            el("div", { className: "job" }, [
                el("div", { className: "controls" }, [
                    el("label", {}, [document.createTextNode("行数 rows"), rows]),
                    el("label", {}, [document.createTextNode("打印机 printer"), printer]),
                    el("label", {}, [document.createTextNode("份数 copies"), copies])
                ]),
                actions
            ])
        ]));
    }
}

function loadTemplates() {
    return fetch("/api/templates", { cache: "no-store" })
        .then((r) => r.json())
        .then((list) => {
            templates = list;
            renderTemplates();
            maybeAuto();
        })
        .catch((e) => logMessage("模板列表读取失败 / cannot list templates: " + e));
}

function formatSize(n) {
    if (n < 1024) return n + " B";
    if (n < 1048576) return (n / 1024).toFixed(1) + " KB";
    return (n / 1048576).toFixed(1) + " MB";
}

function pollUploads() {
    fetch("/api/uploads", { cache: "no-store" })
        .then((r) => r.json())
        .then((list) => {
            const body = $("uploads");
            body.textContent = "";
            for (const u of list.slice(0, 30)) {
                const isNew = knownUploads && !knownUploads.has(u.name + u.timeMs);
                body.appendChild(el("tr", { className: isNew ? "new" : "" }, [
                    el("td", {}, [el("a", { href: u.url, target: "_blank", text: u.name })]),
                    el("td", { className: "num", text: formatSize(u.size) }),
                    el("td", { text: u.time.slice(5, 19) })
                ]));
            }
            // A template saved in the designer: show its new MD5, which the next print sends.
            if (knownUploads && list.some((u) => /\.grf$/.test(u.name) && !knownUploads.has(u.name + u.timeMs)))
                loadTemplates();
            knownUploads = new Set(list.map((u) => u.name + u.timeMs));
            $("uploads-empty").hidden = list.length > 0;
        })
        .catch(() => {})
        .then(() => setTimeout(pollUploads, 2000));
}

// Unattended runs: one job per template named, one after the other; `auto` may name one mode for
// all of them or one each ("print,pdf").
async function maybeAuto() {
    const modes = (query.get("auto") || "").split(",").filter(Boolean);
    if (autoSent || !modes.length || agent.state !== "open" || !templates.length) return;
    autoSent = true;
    const names = (query.get("template") || templates[0].name).split(",");
    for (const [i, name] of names.entries()) {
        const t = templates.find((x) => x.name === name) ||
                  { name, url: location.origin + "/templates/" + encodeURIComponent(name), md5: "", fields: [] };
        await sendJob(t, modes[Math.min(i, modes.length - 1)], parseInt(query.get("rows") || "5", 10),
                      query.get("printer") || "", parseInt(query.get("copies") || "1", 10),
                      names.length > 1 ? "" : query.get("reportId") || "");
    }
    document.body.setAttribute("data-auto", "done");
}

document.addEventListener("DOMContentLoaded", () => {
    $("agent-url").textContent = agent.state === "open" ? agent.url : agentWhere;
    $("no-agent-url").textContent = agentWhere;
    $("reconnect").addEventListener("click", () => loadPrinters());
    $("refresh-printers").addEventListener("click", () => loadPrinters());
    $("raw-zpl").addEventListener("click", () => sendRaw("zpl"));
    $("raw-escpos").addEventListener("click", () => sendRaw("escpos"));
    $("doc-print").addEventListener("click", () => sendDocument());
    $("doc-preview").addEventListener("click", () => sendDocument("preview"));
    $("clear-jobs").addEventListener("click", () => {
        $("jobs").textContent = "";
        $("jobs-empty").hidden = false;
    });
    $("copy-snippet").addEventListener("click", () => navigator.clipboard.writeText($("snippet").textContent));
    loadTemplates();
    pollUploads();
});

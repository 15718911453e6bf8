/*
 * Verolux client: how a web page talks to the Verolux print agent.
 *
 * The agent runs on the user's machine and listens for WebSocket connections on port 28502. A page
 * sends it one JSON text per job; the agent downloads the template (reporturl, checked against
 * reportmd5), fills it with the rows and parameters, and then prints, previews, exports a PDF that it
 * uploads to reportAdd, or opens the template in its designer. It answers only when something goes
 * wrong, with a plain text such as "找不到报表文件:orders.grf" or "RepPrint 过程出错！".
 *
 * Copy these two functions into your own page:
 *
 *   var text = buildPrintRequest({
 *       mode: "pdf",                      // "print" | "preview" | "pdf" | "design"
 *       template: { name: "orders.grf",   // file name in the agent's template folder
 *                   url: "https://example.com/templates/orders.grf",
 *                   md5: "4588FF3797B78D819D858FA3BDD82B09" },  // 32 upper-case hex digits, or ""
 *       rows: [{ customer: "…", orderNo: "SO0001", quantity: 2, price: "9.50", amount: "19.00" }],
 *       params: { company: "…", title: "订单明细表" },           // template parameters
 *       printer: "",                      // printer name for "print"; "" keeps the report's own
 *       reportId: "SO0001",               // the PDF is uploaded as reportId + ".pdf"
 *       uploadUrl: "https://example.com/upload/pdf"             // where PDFs and designs are posted
 *   });
 *   sendToAgent(text);                    // opens ws://127.0.0.1:28502 on first use
 *
 * Every key below must be present, also those a mode does not use: the agent refuses a request that
 * lacks one. Parameters go at the top level of the request, next to the fixed keys.
 */

function buildPrintRequest(opts) {
    var request = {
        preview: opts.mode === "preview" ? "1" : opts.mode === "pdf" ? "2" : "",
        repname: opts.template.name,
        reptype: "",
        reguserno: "",
        reprintname: opts.printer || "",
        sdesign: opts.mode === "design" ? "1" : "0",
        reporturl: opts.template.url,
        reportmd5: opts.template.md5 || "",
        reportId: String(opts.reportId || ""),
        reportAdd: opts.uploadUrl || "",
        repdata: opts.rows || []
    };
    var params = opts.params || {};
    for (var key in params) {
        if (Object.prototype.hasOwnProperty.call(params, key) && !(key in request)) request[key] = params[key];
    }
    return JSON.stringify(request);
}

var verolux = { socket: null, url: "ws://127.0.0.1:28502", queue: [] };

function sendToAgent(text) {
    var ws = verolux.socket;
    if (ws && ws.readyState === WebSocket.OPEN) {
        ws.send(text);
        return;
    }
    verolux.queue.push(text);
    if (!ws || ws.readyState > WebSocket.OPEN) {
        ws = verolux.socket = new WebSocket(verolux.url);
        ws.onopen = function () {
            while (verolux.queue.length) ws.send(verolux.queue.shift());
        };
        ws.onmessage = function (event) {
            console.log("Verolux:", event.data); // only problems are reported
        };
    }
}

/* ---- Below: what the demo page adds (connection state, reconnects); not needed in your page. ---- */

// Keeps one connection to the agent, reconnecting after a pause, and reports its state and texts.
function VeroluxAgent(url, handlers) {
    this.url = url;
    this.handlers = handlers || {};
    this.socket = null;
    this.timer = null;
    this.state = "closed";
}

VeroluxAgent.prototype.connect = function () {
    var self = this;
    clearTimeout(this.timer);
    if (this.socket && this.socket.readyState <= WebSocket.OPEN) return;
    this.setState("connecting");
    var ws;
    try {
        ws = new WebSocket(this.url);
    } catch (e) {
        this.setState("closed", String(e));
        return;
    }
    this.socket = ws;
    verolux.socket = ws;
    verolux.url = this.url;
    ws.onopen = function () {
        self.setState("open");
        while (verolux.queue.length) ws.send(verolux.queue.shift());
    };
    ws.onmessage = function (event) {
        if (self.handlers.message) self.handlers.message(String(event.data));
    };
    ws.onerror = function () {
        if (self.handlers.error) self.handlers.error();
    };
    ws.onclose = function (event) {
        if (self.socket !== ws) return;
        self.setState("closed", "code " + event.code);
        self.timer = setTimeout(function () { self.connect(); }, 3000);
    };
};

VeroluxAgent.prototype.setState = function (state, detail) {
    this.state = state;
    if (this.handlers.state) this.handlers.state(state, detail || "");
};

// Sends a request text; false when the agent is not connected.
VeroluxAgent.prototype.send = function (text) {
    if (!this.socket || this.socket.readyState !== WebSocket.OPEN) return false;
    this.socket.send(text);
    return true;
};

/*
 * Verolux client: how a web page talks to the Verolux print agent. An ES module with no build step and
 * no dependencies: install it from its npm package (`npm pack` in demo/web) or copy this file and its
 * types (verolux-client.d.ts) into your page's scripts.
 *
 *   import { connect, buildPrintRequest } from "verolux-client";   // or "./verolux-client.js"
 *
 *   let agent;
 *   try {
 *       agent = await connect();                   // this user's agent on 28502-28511, once it said hello
 *   } catch (e) {
 *       // e.code: "agent-unavailable" (nothing answers; e.agent keeps trying and turns "open" when an
 *       // agent starts), "awaiting-permission" (the user on the desktop has not yet answered whether
 *       // this site may print; e.agent tries again every second and turns "open" once allowed) or
 *       // "site-refused" (the agent does not let this site in; no more tries)
 *   }
 *   agent.addEventListener("state", e => console.log(e.detail.state));
 *   // connecting | open | closed | awaiting-permission | refused
 *
 *   const request = buildPrintRequest({          // throws a VeroluxError "bad-request" for what cannot work
 *       mode: "pdf",                               // "print" | "preview" | "pdf" | "design"
 *       template: { name: "orders.grf", url: "https://example.com/templates/orders.grf",
 *                   md5: "4588FF3797B78D819D858FA3BDD82B09" },   // 32 upper-case hex digits, or ""
 *       rows: [{ orderNo: "SO0001", quantity: 2, price: "9.50" }],
 *       params: { company: "…" },                  // template parameters
 *       printer: "",                               // for "print": "" keeps the report's own printer
 *       reportId: "SO0001",                        // pdf, design: the PDF is uploaded as reportId + ".pdf"
 *       uploadUrl: "https://example.com/upload/pdf"                 // pdf: required
 *   });
 *   try {
 *       const done = await agent.print(request, { copies: 1, onState: e => console.log(e.state) });
 *       console.log("finished:", done.state);      // "uploaded", "completed", "shown" or "opened"
 *   } catch (e) {
 *       console.error(e.code, e.message);          // e.g. "printer-not-found", "upload-rejected"
 *   }
 *
 *   const printers = await agent.printers();       // [{ name, isDefault, state, media, … }]
 *
 * On a machine shared by several users (a terminal server) each user's agent listens on its own port of
 * 28502-28511 and closes at once a connection from another user's browser: connect() tries the ports in
 * order and keeps the first agent that accepts the page, which is its own user's.
 *
 * The agent answers questions and job events to the asking page only; a page that never uses the
 * "verolux" key sees the agent exactly as before (problems as plain texts, sent to every page).
 */

export const DEFAULT_URL = "ws://127.0.0.1:28502/";

/** The ports the agents of a machine's users listen on, the first free one each; tried in this order. */
export const DEFAULT_PORTS = Object.freeze([28502, 28503, 28504, 28505, 28506, 28507, 28508, 28509, 28510, 28511]);

/** The close status with which the agent turns away a page of a site it does not let in. */
export const SITE_REFUSED_CLOSE_CODE = 4403;

/**
 * The close status with which the agent tells a page (one whose URL carries the query parameter
 * verolux=1, which this module adds) that the user on the desktop is being asked about its site.
 */
export const AWAITING_PERMISSION_CLOSE_CODE = 4401;

// The agent holds a connection without this marker until the user has answered; with it the page is
// told at once (AWAITING_PERMISSION_CLOSE_CODE) and tries again.
function withAskAgainMarker(url) {
    const u = new URL(url);
    if (!u.searchParams.has("verolux")) u.searchParams.set("verolux", "1");
    return u.href;
}

/** What buildPrintRequest can make: print it, show it, export and upload a PDF, open the designer. */
export const MODES = Object.freeze(["print", "preview", "pdf", "design"]);

const FINAL_OK = new Set(["uploaded", "completed", "shown", "opened"]);

/** A connection, job or question that did not succeed: `code` is stable, `message` says why. */
export class VeroluxError extends Error {
    constructor(code, message, event) {
        super(message);
        this.name = "VeroluxError";
        this.code = code;
        this.event = event || null;
    }
}

function badRequest(message) {
    return new VeroluxError("bad-request", message);
}

function isObject(value) {
    return value !== null && typeof value === "object" && !Array.isArray(value);
}

function nonEmpty(value) {
    return (typeof value === "string" && value !== "") || (typeof value === "number" && Number.isFinite(value));
}

// A request value as the agent compares it: strings as they are, numbers as their text, others never.
function asText(value) {
    if (typeof value === "string") return value;
    if (typeof value === "number") return String(value);
    return null;
}

// What the agent cannot carry out, found before anything is sent: a PDF needs the URL it is posted to
// and the id it is named by, a design the id it is saved under.
function checkRequest(request) {
    const design = asText(request.sdesign) === "1";
    if (design) {
        if (!nonEmpty(request.reportId)) throw badRequest("a design request needs reportId (what the template is saved as)");
    } else if (asText(request.preview) === "2") {
        if (!nonEmpty(request.reportAdd)) throw badRequest("a PDF request needs reportAdd (the URL the PDF is uploaded to)");
        if (!nonEmpty(request.reportId)) throw badRequest("a PDF request needs reportId (the PDF is named after it)");
    }
}

/** The JSON text of a print request: every key the agent requires, rows, then parameters. */
export function buildPrintRequest(opts) {
    if (!isObject(opts)) throw badRequest("buildPrintRequest needs an object");
    if (!MODES.includes(opts.mode))
        throw badRequest(`unknown mode ${JSON.stringify(opts.mode)}: one of ${MODES.join(", ")}`);
    const template = opts.template;
    if (!isObject(template) || !nonEmpty(template.name) || !nonEmpty(template.url))
        throw badRequest("template needs a name and the url it is downloaded from");
    if (opts.rows !== undefined && !Array.isArray(opts.rows)) throw badRequest("rows must be an array of objects");
    if (opts.params !== undefined && !isObject(opts.params)) throw badRequest("params must be an object");
    if (opts.mode === "pdf" && !nonEmpty(opts.uploadUrl))
        throw badRequest('mode "pdf" needs uploadUrl (the URL the PDF is uploaded to)');
    if ((opts.mode === "pdf" || opts.mode === "design") && !nonEmpty(opts.reportId))
        throw badRequest(`mode "${opts.mode}" needs reportId`);
    const request = {
        preview: opts.mode === "preview" ? "1" : opts.mode === "pdf" ? "2" : "",
        repname: String(template.name),
        reptype: "",
        reguserno: "",
        reprintname: opts.printer || "",
        sdesign: opts.mode === "design" ? "1" : "0",
        reporturl: String(template.url),
        reportmd5: template.md5 || "",
        reportId: String(opts.reportId ?? ""),
        reportAdd: opts.uploadUrl || "",
        repdata: opts.rows || []
    };
    for (const [key, value] of Object.entries(opts.params || {})) {
        if (!(key in request) && key !== "verolux") request[key] = value;
    }
    return JSON.stringify(request);
}

let jobSerial = 0;

// The addresses an attempt tries in order: the one given, or this machine's port range.
function candidateUrls(url, port, ports, host) {
    if (url) return [String(url)];
    const list = port !== undefined ? [port] : ports;
    if (!Array.isArray(list) || list.length === 0) throw badRequest("ports must be a non-empty array of port numbers");
    const name = host.includes(":") && !host.startsWith("[") ? `[${host}]` : host;
    return list.map((p) => `ws://${name}:${Number(p)}/`);
}

/**
 * One page's link to the agent. It connects at once and, unless the agent refuses the page's site or
 * the page closes it, connects again whenever the connection is lost or cannot be made. Each attempt
 * tries the ports in order: an unused port and another user's agent fail at once, so the page lands on
 * its own user's agent.
 */
export class VeroluxAgent extends EventTarget {
    constructor({ url, port, ports = DEFAULT_PORTS, host = "127.0.0.1", reconnectDelay = 2000,
                  connectTimeout = 5000, permissionRetryDelay = 1000 } = {}) {
        super();
        this.urls = candidateUrls(url, port, ports, host);
        this.url = this.urls[0]; // the agent's address once it has answered; before, the first tried
        this.where = this.urls.length === 1 ? this.urls[0] : `${this.urls[0]} … ${this.urls[this.urls.length - 1]}`;
        this.reconnectDelay = reconnectDelay;
        this.permissionRetryDelay = permissionRetryDelay;
        this.connectTimeout = connectTimeout;
        this.state = "closed";
        this.hello = null; // the agent's answer to hello on the open connection
        this.socket = null;
        this.questions = []; // answers come back in the order the questions went out
        this.jobs = new Map(); // jobId -> { resolve, reject, onState }
        this.waiting = []; // callers of ready() until the connection at hand opens or fails
        this.stopped = false;
        this.refusal = null;
        this.timer = null;
        // After the caller's own code has run, so its listeners hear "connecting" too.
        queueMicrotask(() => this.open());
    }

    /**
     * Resolves with the agent's hello once the connection is open. Rejects as soon as the attempt at
     * hand fails: "agent-unavailable" (nothing answers, or no answer within connectTimeout),
     * "awaiting-permission" (the desktop user has not yet answered about this site) or "site-refused".
     * Between attempts it starts the next one at once.
     */
    ready() {
        if (this.state === "open") return Promise.resolve(this.hello);
        if (this.refusal) return Promise.reject(this.refusal);
        if (this.stopped) return Promise.reject(new VeroluxError("agent-unavailable", "closed by the page"));
        const waited = new Promise((resolve, reject) => {
            const waiter = { resolve, reject };
            waiter.timer = setTimeout(() => {
                this.waiting = this.waiting.filter((w) => w !== waiter);
                reject(new VeroluxError("agent-unavailable",
                                        `no answer from the Verolux agent at ${this.where} within ${this.connectTimeout} ms`));
            }, this.connectTimeout);
            this.waiting.push(waiter);
        });
        // Between attempts the next one starts now; one that fails at once already rejects the waiter.
        if (!this.socket) this.open();
        return waited;
    }

    /** Agent version, protocol version, features, port and platform. */
    info() {
        return this.ask("hello");
    }

    /** The print queues the agent sees, with their state and media. */
    async printers() {
        return (await this.ask("printers")).printers;
    }

    /**
     * Sends a print request (its text or object) as a job. Resolves with the final event, rejects with a
     * VeroluxError. options: jobId, copies (1–999), duplex ("none" | "long" | "short"), pages ("1-3,5"),
     * tray, paper (a name or { widthMm, heightMm }), headers ({ name: value } for the job's template
     * download and PDF upload), onState(event) for every event on the way, cancel (an AbortSignal:
     * aborting it takes the job back; it then rejects with "cancelled").
     */
    async print(request, options = {}) {
        const { onState, cancel, ...rest } = options;
        const jobId = String(rest.jobId ?? `job-${Date.now().toString(36)}-${++jobSerial}`);
        let body = request;
        if (typeof request === "string") {
            try {
                body = JSON.parse(request);
            } catch (e) {
                throw badRequest(`the request is no JSON text: ${e.message}`);
            }
        }
        if (!isObject(body)) throw badRequest("a print request is a JSON object");
        checkRequest(body);
        return this.sendJob({ ...body, verolux: { ...rest, jobId } }, onState, cancel);
    }

    /** Sends a job's message and follows its events; cancel (an AbortSignal) takes it back. */
    async sendJob(body, onState, cancel) {
        const jobId = body.verolux.jobId;
        const notSent = () => new VeroluxError("cancelled", "the job was cancelled before it was sent");
        if (cancel?.aborted) throw notSent();
        await this.ready();
        if (cancel?.aborted) throw notSent();
        return new Promise((resolve, reject) => {
            const socket = this.socket;
            // Only while this job is the open one of its id on the connection that sent it.
            const onAbort = () => {
                if (this.jobs.get(jobId) === job && this.socket === socket)
                    socket.send(JSON.stringify({ verolux: { cancel: jobId } }));
            };
            const settle = (then) => (value) => {
                cancel?.removeEventListener("abort", onAbort);
                then(value);
            };
            const job = { resolve: settle(resolve), reject: settle(reject), onState };
            this.jobs.set(jobId, job);
            cancel?.addEventListener("abort", onAbort, { once: true });
            socket.send(JSON.stringify(body));
        });
    }

    /**
     * Sends printer commands unchanged to the named queue (never another one) as a job of its own.
     * raw: { text, encoding?: "UTF-8" | "GB18030" | "Latin-1" } or { base64 } or the bytes themselves
     * (Uint8Array). options: jobId, onState(event), cancel (an AbortSignal, as for print). Resolves with
     * "completed", rejects with a VeroluxError.
     */
    async printRaw(printer, raw, options = {}) {
        const { onState, cancel, jobId: given } = options;
        if (typeof printer !== "string" || !printer) throw badRequest("a raw job needs the printer's name");
        if (raw instanceof Uint8Array) {
            let binary = "";
            for (let i = 0; i < raw.length; i += 0x8000) binary += String.fromCharCode(...raw.subarray(i, i + 0x8000));
            raw = { base64: btoa(binary) };
        }
        if (!isObject(raw) || (typeof raw.text === "string") === (typeof raw.base64 === "string"))
            throw badRequest('raw needs either "text" or "base64"');
        const jobId = String(given ?? `raw-${Date.now().toString(36)}-${++jobSerial}`);
        return this.sendJob({ verolux: { jobId, printer, raw } }, onState, cancel);
    }

    /**
     * Prints a PDF or picture silently: document is { url } or { base64, type }. options: jobId, printer
     * (default printer when left out), copies, duplex, pages, tray, paper, fit ("actual" | "fit" |
     * "fill"), action ("print" | "preview" | "pdf" with reportId and reportAdd: uploaded as a PDF),
     * headers (for its download and upload), onState(event), cancel (an AbortSignal, as for print).
     * Resolves with "completed" (or "shown", "uploaded"), rejects with a VeroluxError.
     */
    async printDocument(document, options = {}) {
        const { onState, cancel, jobId: given, ...rest } = options;
        if (!isObject(document) || (typeof document.url === "string") === (typeof document.base64 === "string"))
            throw badRequest('document needs either "url" or "base64"');
        const jobId = String(given ?? `doc-${Date.now().toString(36)}-${++jobSerial}`);
        return this.sendJob({ verolux: { ...rest, jobId, document } }, onState, cancel);
    }

    /** Closes the connection for good. */
    close() {
        this.stopped = true;
        clearTimeout(this.timer);
        const socket = this.socket;
        this.socket = null;
        if (socket) socket.close();
        this.fail(new VeroluxError("connection-lost", "closed by the page"),
                  new VeroluxError("agent-unavailable", "closed by the page"));
        this.setState("closed", "closed by the page");
    }

    async ask(question) {
        await this.ready();
        return this.send(question);
    }

    send(question) {
        return new Promise((resolve, reject) => {
            this.questions.push({ resolve, reject });
            this.socket.send(JSON.stringify({ verolux: question }));
        });
    }

    open() {
        if (this.stopped || this.socket) return;
        clearTimeout(this.timer);
        this.setState("connecting");
        this.tryUrl(0);
    }

    // One address of the attempt; a connection that fails before it opens passes on to the next one.
    tryUrl(index) {
        const url = this.urls[index];
        let ws;
        try {
            ws = new WebSocket(withAskAgainMarker(url));
        } catch (e) {
            this.tryNext(index, String(e));
            return;
        }
        this.socket = ws;
        let opened = false;
        // Something on the port that accepts but never answers is left for the next port.
        const stalled = setTimeout(() => {
            if (this.socket !== ws || opened) return;
            this.socket = null;
            ws.onclose = null;
            ws.close();
            this.tryNext(index, `no answer within ${this.connectTimeout} ms`);
        }, this.connectTimeout);
        // Open once the agent has said hello: a WebSocket that opens may still be closed at once.
        ws.onopen = () => {
            opened = true;
            clearTimeout(stalled);
            this.send("hello").then((hello) => {
                if (this.socket !== ws) return;
                this.url = url;
                this.hello = hello;
                this.setState("open");
                for (const w of this.waiting.splice(0)) {
                    clearTimeout(w.timer);
                    w.resolve(hello);
                }
            }, () => {});
        };
        ws.onmessage = (e) => {
            if (this.socket === ws) this.receive(String(e.data));
        };
        ws.onclose = (e) => {
            if (this.socket !== ws) return;
            clearTimeout(stalled);
            if (e.code === SITE_REFUSED_CLOSE_CODE) {
                this.refused(e.reason);
            } else if (e.code === AWAITING_PERMISSION_CLOSE_CODE) {
                this.awaitingPermission(e.reason);
            } else if (!opened) {
                // No agent there, or another user's agent, which closes before answering.
                this.socket = null;
                this.tryNext(index, `connection closed (${e.code})`);
            } else {
                this.lost(`connection closed (${e.code})`);
            }
        };
    }

    tryNext(index, reason) {
        if (this.stopped) return;
        if (index + 1 < this.urls.length) this.tryUrl(index + 1);
        else this.lost(reason);
    }

    // Rejects what waits on the connection: questions and jobs in flight, and callers of ready().
    fail(inFlight, notReady) {
        for (const q of this.questions.splice(0)) q.reject(inFlight);
        for (const job of this.jobs.values()) job.reject(inFlight);
        this.jobs.clear();
        for (const w of this.waiting.splice(0)) {
            clearTimeout(w.timer);
            w.reject(notReady);
        }
    }

    lost(reason) {
        this.socket = null;
        this.hello = null;
        this.fail(new VeroluxError("connection-lost", `the connection to the agent was lost: ${reason}`),
                  new VeroluxError("agent-unavailable", `no Verolux agent answers at ${this.where}`));
        this.setState("closed", reason);
        if (!this.stopped) this.timer = setTimeout(() => this.open(), this.reconnectDelay);
    }

    // The user on the desktop is being asked about this page's site: try again soon, the answer may
    // have come by then.
    awaitingPermission(reason) {
        this.socket = null;
        this.hello = null;
        const site = typeof location === "object" && location ? location.origin : "this site";
        const error = new VeroluxError("awaiting-permission",
                                       `the Verolux agent is asking its user whether ${site} may print`);
        this.fail(error, error);
        this.setState("awaiting-permission", reason || "awaiting-permission");
        if (!this.stopped) this.timer = setTimeout(() => this.open(), this.permissionRetryDelay);
    }

    // The agent does not let this page's site in: trying again would not change that.
    refused(reason) {
        this.socket = null;
        this.hello = null;
        this.stopped = true;
        clearTimeout(this.timer);
        const site = typeof location === "object" && location ? location.origin : "this site";
        this.refusal = new VeroluxError("site-refused",
                                        `the Verolux agent does not let ${site} in (${reason || "site-refused"})`);
        this.fail(this.refusal, this.refusal);
        this.setState("refused", reason || "site-refused");
    }

    receive(text) {
        let message = null;
        try {
            message = JSON.parse(text);
        } catch (e) {
            // not one of ours
        }
        if (!message || typeof message.verolux !== "string") {
            // The agent's own replies ("找不到报表文件:…", "RepPrint 过程出错！") go to every page.
            this.dispatchEvent(new CustomEvent("reply", { detail: text }));
            return;
        }
        if (message.verolux === "job") {
            this.dispatchEvent(new CustomEvent("job", { detail: message }));
            const job = this.jobs.get(message.jobId);
            if (!job) return;
            if (job.onState) job.onState(message);
            if (message.state === "failed") {
                this.jobs.delete(message.jobId);
                job.reject(new VeroluxError(message.code, message.message, message));
            } else if (message.state === "cancelled") {
                this.jobs.delete(message.jobId);
                job.reject(new VeroluxError("cancelled", "the job was cancelled", message));
            } else if (FINAL_OK.has(message.state)) {
                this.jobs.delete(message.jobId);
                job.resolve(message);
            }
            return;
        }
        if (message.verolux === "error" && message.jobId !== undefined) {
            // A cancel that came too late: the job's own final event says how it ended.
            this.dispatchEvent(new CustomEvent("cancel-refused", { detail: message }));
            return;
        }
        const question = this.questions.shift();
        if (!question) return;
        if (message.verolux === "error") question.reject(new VeroluxError(message.code, message.message, message));
        else question.resolve(message);
    }

    setState(state, reason = "") {
        if (this.state === state && state !== "closed") return;
        // Tries again while the question is open: "connecting" in between is no news.
        if (state === "connecting" && this.state === "awaiting-permission") return;
        this.state = state;
        this.dispatchEvent(new CustomEvent("state", { detail: { state, reason } }));
    }
}

/**
 * Connects to the local agent. Resolves with the agent once it has said hello; rejects with a
 * VeroluxError "agent-unavailable", "awaiting-permission" or "site-refused" whose `agent` is the
 * agent: after "agent-unavailable" and "awaiting-permission" it goes on trying, and turns "open" (a
 * "state" event) when an agent starts or the user allows the site.
 */
export function connect(options) {
    const agent = new VeroluxAgent(options);
    return agent.ready().then(() => agent, (e) => {
        e.agent = agent;
        throw e;
    });
}

/*
 * Verolux client: how a web page talks to the Verolux print agent. An ES module with no build step;
 * copy it into your page's scripts and import it:
 *
 *   import { connect, buildPrintRequest } from "./verolux-client.js";
 *
 *   const agent = connect();                       // ws://127.0.0.1:28502/, reconnects by itself
 *   agent.addEventListener("state", e => console.log(e.detail.state));   // connecting | open | closed
 *
 *   const request = buildPrintRequest({
 *       mode: "pdf",                               // "print" | "preview" | "pdf" | "design"
 *       template: { name: "orders.grf", url: "https://example.com/templates/orders.grf",
 *                   md5: "4588FF3797B78D819D858FA3BDD82B09" },   // 32 upper-case hex digits, or ""
 *       rows: [{ orderNo: "SO0001", quantity: 2, price: "9.50" }],
 *       params: { company: "…" },                  // template parameters
 *       printer: "",                               // for "print": "" keeps the report's own printer
 *       reportId: "SO0001",                        // the PDF is uploaded as reportId + ".pdf"
 *       uploadUrl: "https://example.com/upload/pdf"
 *   });
 *   try {
 *       const done = await agent.print(request, { copies: 1, onState: e => console.log(e.state) });
 *       console.log("finished:", done.state);      // "uploaded", "completed", "shown" or "opened"
 *   } catch (e) {
 *       console.error(e.code, e.message);          // e.g. "printer-not-found", "upload-rejected"
 *   }
 *
 *   const hello = await agent.info();              // { version, protocol, features, port, platform }
 *   const printers = await agent.printers();       // [{ name, isDefault, state, media, … }]
 *
 * The agent answers questions and job events to the asking page only; a page that never uses the
 * "verolux" key sees the agent exactly as before (problems as plain texts, sent to every page).
 */

export const DEFAULT_URL = "ws://127.0.0.1:28502/";

const FINAL_OK = new Set(["uploaded", "completed", "shown", "opened"]);

/** A job or question that did not succeed: `code` is stable, `message` says why. */
export class VeroluxError extends Error {
    constructor(code, message, event) {
        super(message);
        this.name = "VeroluxError";
        this.code = code;
        this.event = event || null;
    }
}

/** The JSON text of a print request: every key the agent requires, rows, then parameters. */
export function buildPrintRequest(opts) {
    const request = {
        preview: opts.mode === "preview" ? "1" : opts.mode === "pdf" ? "2" : "",
        repname: opts.template.name,
        reptype: "",
        reguserno: "",
        reprintname: opts.printer || "",
        sdesign: opts.mode === "design" ? "1" : "0",
        reporturl: opts.template.url,
        reportmd5: opts.template.md5 || "",
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

class VeroluxAgent extends EventTarget {
    constructor({ url = DEFAULT_URL, reconnectDelay = 2000, connectTimeout = 5000 } = {}) {
        super();
        this.url = url;
        this.reconnectDelay = reconnectDelay;
        this.connectTimeout = connectTimeout;
        this.state = "closed";
        this.socket = null;
        this.questions = []; // answers come back in the order the questions went out
        this.jobs = new Map(); // jobId -> { resolve, reject, onState }
        this.stopped = false;
        this.timer = null;
        // After the caller's own code has run, so its listeners hear "connecting" too.
        queueMicrotask(() => this.open());
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
     * onState(event) for every event on the way.
     */
    async print(request, options = {}) {
        const { onState, ...rest } = options;
        const jobId = String(rest.jobId ?? `job-${Date.now().toString(36)}-${++jobSerial}`);
        const body = typeof request === "string" ? JSON.parse(request) : { ...request };
        body.verolux = { ...rest, jobId };
        await this.ready();
        return new Promise((resolve, reject) => {
            this.jobs.set(jobId, { resolve, reject, onState });
            this.socket.send(JSON.stringify(body));
        });
    }

    /** Closes the connection for good. */
    close() {
        this.stopped = true;
        clearTimeout(this.timer);
        if (this.socket) this.socket.close();
        this.setState("closed", "closed by the page");
    }

    async ask(question) {
        await this.ready();
        return new Promise((resolve, reject) => {
            this.questions.push({ resolve, reject });
            this.socket.send(JSON.stringify({ verolux: question }));
        });
    }

    // Waits for an open connection, at most connectTimeout.
    ready() {
        if (this.state === "open") return Promise.resolve();
        return new Promise((resolve, reject) => {
            const onState = () => {
                if (this.state !== "open") return;
                clearTimeout(timer);
                this.removeEventListener("state", onState);
                resolve();
            };
            const timer = setTimeout(() => {
                this.removeEventListener("state", onState);
                reject(new VeroluxError("agent-unavailable", `no Verolux agent answers at ${this.url}`));
            }, this.connectTimeout);
            this.addEventListener("state", onState);
        });
    }

    open() {
        if (this.stopped) return;
        this.setState("connecting");
        let ws;
        try {
            ws = new WebSocket(this.url);
        } catch (e) {
            this.lost(String(e));
            return;
        }
        this.socket = ws;
        ws.onopen = () => this.setState("open");
        ws.onmessage = (e) => this.receive(String(e.data));
        ws.onclose = (e) => {
            if (this.socket === ws) this.lost(`connection closed (${e.code})`);
        };
    }

    lost(reason) {
        this.socket = null;
        const error = new VeroluxError("connection-lost", `the connection to the agent was lost: ${reason}`);
        for (const q of this.questions.splice(0)) q.reject(error);
        for (const job of this.jobs.values()) job.reject(error);
        this.jobs.clear();
        this.setState("closed", reason);
        if (!this.stopped) this.timer = setTimeout(() => this.open(), this.reconnectDelay);
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
            } else if (FINAL_OK.has(message.state)) {
                this.jobs.delete(message.jobId);
                job.resolve(message);
            }
            return;
        }
        const question = this.questions.shift();
        if (!question) return;
        if (message.verolux === "error") question.reject(new VeroluxError(message.code, message.message, message));
        else question.resolve(message);
    }

    setState(state, reason = "") {
        if (this.state === state && state !== "closed") return;
        this.state = state;
        this.dispatchEvent(new CustomEvent("state", { detail: { state, reason } }));
    }
}

/** Opens (and keeps reopening) a connection to the local agent. */
export function connect(options) {
    return new VeroluxAgent(options);
}

// Types of verolux-client.js.

export const DEFAULT_URL: string;
/** 28502 to 28511: each user of a machine has an agent on the first port free when it started. */
export const DEFAULT_PORTS: readonly number[];
/** 4403: the close status with which the agent turns away a page of a site it does not let in. */
export const SITE_REFUSED_CLOSE_CODE: 4403;
/** 4401: the close status with which the agent tells a page that its user is being asked about its site. */
export const AWAITING_PERMISSION_CLOSE_CODE: 4401;
export const MODES: readonly Mode[];

/**
 * "awaiting-permission": the user on the desktop has not yet answered whether this page's site may use
 * the agent; the agent object tries again every permissionRetryDelay and stays in this state meanwhile.
 * "refused": the agent does not let this page's site in; the agent object tries no more.
 */
export type ConnectionState = "connecting" | "open" | "closed" | "awaiting-permission" | "refused";
export type JobState =
    | "accepted" | "spooled" | "waiting" | "completed" | "failed" | "uploaded" | "shown" | "opened" | "cancelled";

export interface ConnectOptions {
    /** The one address to connect to; ports and host are then not used. */
    url?: string;
    /** The one port to connect to on host. */
    port?: number;
    /**
     * Ports tried in order on each attempt (default DEFAULT_PORTS); the first agent that accepts the page
     * is kept. Another user's agent closes at once, as does a port without an agent.
     */
    ports?: readonly number[];
    /** Default 127.0.0.1 */
    host?: string;
    /** Pause before connecting again after a lost or failed connection, ms (default 2000). */
    reconnectDelay?: number;
    /** How long connect() and ready() wait for a connection that neither opens nor fails, ms (default 5000). */
    connectTimeout?: number;
    /** Pause before trying again while the desktop user is being asked about this site, ms (default 1000). */
    permissionRetryDelay?: number;
}

export interface AgentInfo {
    verolux: "hello";
    agent: "Verolux";
    version: string;
    protocol: number;
    features: string[];
    port: number;
    platform: string;
}

export interface Printer {
    name: string;
    description: string;
    location: string;
    isDefault: boolean;
    state: "idle" | "printing" | "stopped";
    stateReason: string;
    acceptingJobs: boolean;
    color: boolean;
    duplex: boolean;
    /** PWG media names, e.g. "iso_a4_210x297mm". */
    media: string[];
    /** The same papers with the driver's names (Chinese where it has them) and sizes. */
    papers: { name: string; text: string; widthMm: number; heightMm: number }[];
    /** Input trays: the keyword a job's `tray` takes, and the driver's name (also taken). */
    trays: { name: string; text: string }[];
    /** Present when the printer takes custom paper sizes. */
    customPaper?: { minWidthMm: number; minHeightMm: number; maxWidthMm: number; maxHeightMm: number };
}

export interface JobEvent {
    verolux: "job";
    jobId: string;
    reportId: string;
    state: JobState;
    /** spooled, waiting, completed, failed, cancelled of a print */
    cupsJobId?: number;
    /** waiting */
    reason?: string;
    /** uploaded, and failed with code "upload-rejected" */
    httpStatus?: number;
    /** failed */
    code?: JobFailureCode;
    /** failed: the reason the agent's log pane shows */
    message?: string;
}

/** The options of a followed job (the request's "verolux" object), checked by the agent. */
export interface JobOptions {
    /** Your name for the job; one is made up when missing. */
    jobId?: string | number;
    /** 1 to 999 (a print; default 1) */
    copies?: number;
    /** Edge binding of a two-sided print (default "none"). */
    duplex?: "none" | "long" | "short";
    /** Pages and ranges, e.g. "1-3,5,8-" (a print; at most 256 characters). */
    pages?: string;
    /**
     * HTTP headers for this job's template download and PDF upload only (e.g. Authorization, Cookie):
     * at most 16, 8,192 bytes together; names are HTTP tokens, values one line. Never logged or kept.
     */
    headers?: Record<string, string>;
    /** An input tray of the printer, by keyword or name (a print); checked before anything prints. */
    tray?: string;
    /** A paper of the printer by name, or a size in millimetres (custom sizes for labels) (a print). */
    paper?: string | { widthMm: number; heightMm: number };
}

export interface PrintOptions extends JobOptions {
    /** Called with every event of the job, the final one included. */
    onState?: (event: JobEvent) => void;
    /**
     * Aborting it takes the job back: out of the agent's queue, its download stopped, or cancelled in
     * CUPS. print() then rejects with "cancelled"; a job that has ended stays as it ended.
     */
    cancel?: AbortSignal;
}

/** A raw job's commands: text in the printer's character set, or bytes in Base64. */
export type RawCommands =
    | { text: string; encoding?: "UTF-8" | "GB18030" | "Latin-1" }
    | { base64: string };

export interface RawOptions {
    /** Your name for the job; one is made up when missing. */
    jobId?: string | number;
    /** Called with every event of the job, the final one included. */
    onState?: (event: JobEvent) => void;
    /** Aborting it takes the job back (as for print()). */
    cancel?: AbortSignal;
}

/** A document by URL (downloaded by the agent) or as Base64 bytes. */
export type DocumentSource =
    | { url: string; type?: DocumentType }
    | { base64: string; type?: DocumentType };
export type DocumentType = "application/pdf" | "image/png" | "image/jpeg";

export interface DocumentOptions extends PrintOptions {
    /** The queue; the default printer when left out. */
    printer?: string;
    /**
     * "print" (default), "preview" (the agent's preview window, printed from there by the user) or
     * "pdf": posted to reportAdd as reportId.pdf (a picture as a one-page PDF).
     */
    action?: "print" | "preview" | "pdf";
    reportId?: string;
    reportAdd?: string;
    /** actual size, fit into the printable area, or fill the sheet (cropped); default: the printer's. */
    fit?: "actual" | "fit" | "fill";
}

export type Mode = "print" | "preview" | "pdf" | "design";

/** Where the agent downloads the template from, and the digest its copy must have. */
export interface TemplateSource {
    /** File name in the agent's template folder, extension included (e.g. "orders.grf"). */
    name: string;
    /** http(s) URL of the template file. */
    url: string;
    /** 32 upper-case hex digits; empty or missing: no check. */
    md5?: string;
}

interface RequestCommon {
    template: TemplateSource;
    /** Detail rows: keys are the template's field names. */
    rows?: Record<string, unknown>[];
    /** Template parameters by name; names of the request's own keys are left out. */
    params?: Record<string, unknown>;
}

export interface PrintJobOptions extends RequestCommon {
    mode: "print";
    /** Printer name; empty or missing keeps the template's own printer (else the system default). */
    printer?: string;
    reportId?: string | number;
    uploadUrl?: string;
}

export interface PreviewJobOptions extends RequestCommon {
    mode: "preview";
    printer?: string;
    reportId?: string | number;
    uploadUrl?: string;
}

export interface PdfJobOptions extends RequestCommon {
    mode: "pdf";
    /** The PDF is named reportId + ".pdf" and uploaded with it. */
    reportId: string | number;
    /** The URL the PDF is posted to. */
    uploadUrl: string;
    printer?: string;
}

export interface DesignJobOptions extends RequestCommon {
    mode: "design";
    /** What the backend saves the changed template as. */
    reportId: string | number;
    /** The URL 保存 posts the changed template to. */
    uploadUrl?: string;
}

/** What buildPrintRequest takes: the fields each mode needs are required. */
export type PrintRequestOptions = PrintJobOptions | PreviewJobOptions | PdfJobOptions | DesignJobOptions;

/** A value the agent reads as text: strings as they are, numbers as their decimal text. */
export type RequestText = string | number;

/** The print request itself, as the agent reads it (docs/protocol.md, "The request"). */
export interface PrintRequest {
    /** "1": preview, "2": PDF and upload, anything else: print. */
    preview: RequestText | boolean;
    repname: string;
    reptype: RequestText;
    reguserno: RequestText;
    reprintname: string;
    /** "1": open the designer. */
    sdesign: RequestText | boolean;
    reporturl: string;
    reportmd5: string;
    reportId: RequestText;
    reportAdd: string;
    repdata: Record<string, unknown>[];
    verolux?: JobOptions;
    /** Template parameters. */
    [parameter: string]: unknown;
}

export type JobFailureCode =
    | "bad-request"
    | "template-not-found"
    | "template-invalid"
    | "printer-not-found"
    | "no-default-printer"
    | "print-failed"
    | "print-canceled"
    | "print-unconfirmed"
    | "export-failed"
    | "upload-failed"
    | "upload-rejected"
    | "internal-error";

export type VeroluxErrorCode =
    /** The page took the job back (PrintOptions.cancel). */
    | "cancelled"
    /** Nothing answers at the URL (or no answer within connectTimeout). */
    | "agent-unavailable"
    /** The user on the desktop has not yet answered whether this page's site may use the agent. */
    | "awaiting-permission"
    /** The agent does not let this page's site in. */
    | "site-refused"
    /** The connection ended while a question or job waited. */
    | "connection-lost"
    /** A question's error ("unknown-question", "printers-unavailable"). */
    | "unknown-question"
    | "printers-unavailable"
    | JobFailureCode;

export class VeroluxError extends Error {
    readonly code: VeroluxErrorCode;
    /** The agent's event or answer, when there was one. */
    readonly event: JobEvent | { verolux: "error"; code: string; message: string } | null;
    /** From connect(): the agent object, which after "agent-unavailable" and "awaiting-permission" goes on trying. */
    agent?: VeroluxAgent;
}

export class VeroluxAgent extends EventTarget {
    /** Connects at once, and again whenever the connection is lost, until refused or closed. */
    constructor(options?: ConnectOptions);
    /** The address of the agent that answered; before that, the first one tried. */
    readonly url: string;
    readonly state: ConnectionState;
    /** The agent's hello on the open connection, else null. */
    readonly hello: AgentInfo | null;
    /** Resolves once the connection is open; rejects when the attempt at hand fails ("agent-unavailable", "awaiting-permission", "site-refused"). */
    ready(): Promise<AgentInfo>;
    info(): Promise<AgentInfo>;
    printers(): Promise<Printer[]>;
    /**
     * Resolves with the final event ("uploaded", "completed", "shown", "opened"); rejects with a VeroluxError.
     * A PDF request without reportAdd or reportId, or a design request without reportId, is rejected
     * with "bad-request" before anything is sent.
     */
    print(request: string | PrintRequest, options?: PrintOptions): Promise<JobEvent>;
    /**
     * Sends printer commands (ZPL, ESC/POS, …) unchanged to that queue, never another; resolves with
     * "completed". The agent refuses an unknown encoding or text the encoding cannot hold ("bad-request").
     */
    printRaw(printer: string, raw: RawCommands | Uint8Array, options?: RawOptions): Promise<JobEvent>;
    /** Prints a PDF, PNG or JPEG silently, as it is; resolves with "completed". */
    printDocument(document: DocumentSource, options?: DocumentOptions): Promise<JobEvent>;
    close(): void;
    // Events: "state" (detail { state, reason }), "job" (detail JobEvent), "reply" (detail: the agent's plain text),
    // "cancel-refused" (detail { verolux: "error", code: "not-cancellable", jobId, message }: the job had ended)
}

/** Throws a VeroluxError "bad-request" for an unknown mode or a field its mode needs missing. */
export function buildPrintRequest(options: PrintRequestOptions): string;
/** Resolves once the agent has said hello; rejects with "agent-unavailable", "awaiting-permission" or "site-refused". */
export function connect(options?: ConnectOptions): Promise<VeroluxAgent>;

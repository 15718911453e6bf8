// Types of verolux-client.js.

export const DEFAULT_URL: string;

export type ConnectionState = "connecting" | "open" | "closed";
export type JobState = "accepted" | "spooled" | "waiting" | "completed" | "failed" | "uploaded" | "shown" | "opened";

export interface ConnectOptions {
    /** Default ws://127.0.0.1:28502/ */
    url?: string;
    /** Pause before reconnecting, ms (default 2000). */
    reconnectDelay?: number;
    /** How long a call waits for a connection before it fails with "agent-unavailable", ms (default 5000). */
    connectTimeout?: number;
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
}

export interface JobEvent {
    verolux: "job";
    jobId: string;
    reportId: string;
    state: JobState;
    /** spooled, waiting, completed, failed of a print */
    cupsJobId?: number;
    /** waiting */
    reason?: string;
    /** uploaded, and failed with code "upload-rejected" */
    httpStatus?: number;
    /** failed */
    code?: string;
    /** failed: the reason the agent's log pane shows */
    message?: string;
}

export interface PrintOptions {
    /** Your name for the job; one is made up when missing. */
    jobId?: string | number;
    /** 1 to 999 */
    copies?: number;
    duplex?: "none" | "long" | "short";
    /** e.g. "1-3,5" */
    pages?: string;
    /** Called with every event of the job, the final one included. */
    onState?: (event: JobEvent) => void;
}

export interface PrintRequestOptions {
    mode: "print" | "preview" | "pdf" | "design";
    template: { name: string; url: string; md5?: string };
    rows?: object[];
    params?: Record<string, unknown>;
    printer?: string;
    reportId?: string | number;
    uploadUrl?: string;
}

export class VeroluxError extends Error {
    /** "agent-unavailable", "connection-lost", a job's failure code, or a question's error code. */
    readonly code: string;
    /** The agent's event or answer, when there was one. */
    readonly event: JobEvent | { verolux: "error"; code: string; message: string } | null;
}

export interface VeroluxAgent extends EventTarget {
    readonly url: string;
    readonly state: ConnectionState;
    info(): Promise<AgentInfo>;
    printers(): Promise<Printer[]>;
    /** Resolves with the final event ("uploaded", "completed", "shown", "opened"); rejects with a VeroluxError. */
    print(request: string | object, options?: PrintOptions): Promise<JobEvent>;
    close(): void;
    // Events: "state" (detail { state, reason }), "job" (detail JobEvent), "reply" (detail: the agent's plain text)
}

export function buildPrintRequest(options: PrintRequestOptions): string;
export function connect(options?: ConnectOptions): VeroluxAgent;

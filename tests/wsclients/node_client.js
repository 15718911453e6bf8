// node `ws` as a page would use it: node node_client.js <mode> <url>
// Sends what the mode says, collects what comes back, prints one JSON line and exits.
'use strict';
const WebSocket = require('ws');

const REPLY = 'RepPrint 过程出错！';
const [mode, url] = process.argv.slice(2);

// Texts shared with test_node_client.py.
const BURST = 500;
const burstMessage = (i) => 'node burst ' + String(i).padStart(4, '0') + ' ' + 'y'.repeat(i % 41);
const BIG_UNIT = '大报文abcdefghijklmnop0123456789-';
const bigMessage = (repeat) => 'node-big:' + BIG_UNIT.repeat(repeat);

function fail(why) {
  console.log(JSON.stringify({ error: String(why) }));
  process.exit(2);
}

const ws = new WebSocket(url, { perMessageDeflate: false, maxPayload: 0 });
const received = [];
let waiting = null; // { count, resolve }
ws.on('message', (data, isBinary) => {
  received.push(isBinary ? '<binary>' : data.toString('utf8'));
  if (waiting && received.length >= waiting.count) {
    const w = waiting;
    waiting = null;
    w.resolve();
  }
});
ws.on('error', fail);

function repliesUntil(count, ms = 60000) {
  if (received.length >= count) return Promise.resolve();
  return new Promise((resolve, reject) => {
    const t = setTimeout(() => reject(new Error('waited for ' + count + ' replies, got ' + received.length)), ms);
    waiting = { count, resolve: () => { clearTimeout(t); resolve(); } };
  });
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

const modes = {
  async fragments() {
    ws.send('node-frag-1 ', { fin: false });
    await sleep(30);
    ws.send('node-frag-2 ', { fin: false });
    await sleep(30);
    ws.send('node-frag-3', { fin: true });
    await repliesUntil(1);
    // Bytes of Chinese characters split between fragments, sent as text frames.
    const bytes = Buffer.from('分片中文：你好，世界', 'utf8');
    const cuts = [0, 1, 5, 8, 13, bytes.length];
    for (let i = 0; i + 1 < cuts.length; i++) {
      const last = i + 2 === cuts.length;
      ws.send(bytes.subarray(cuts[i], cuts[i + 1]), { binary: false, fin: last });
      await sleep(10);
    }
    await repliesUntil(2);
    return {};
  },
  async burst() {
    for (let i = 0; i < BURST; i++) ws.send(burstMessage(i));
    await repliesUntil(BURST, 120000);
    await sleep(500); // anything more would be a second reply for some message
    return {};
  },
  async big() {
    const repeat = Number(process.argv[4]);
    ws.send(bigMessage(repeat));
    await repliesUntil(1, 120000);
    ws.send('node after big');
    await repliesUntil(2);
    return {};
  },
  async close() {
    ws.send('node before close');
    await repliesUntil(1);
    const start = Date.now();
    const closed = new Promise((resolve) => ws.on('close', (code) => resolve(code)));
    ws.close(1000, 'bye');
    const code = await closed;
    return { closeCode: code, closeMs: Date.now() - start };
  },
  async ping() {
    const pongs = [];
    ws.on('pong', (data) => pongs.push(data.toString('hex')));
    ws.ping(Buffer.from('node-ping'));
    ws.ping();
    ws.send('node after ping');
    await repliesUntil(1);
    const until = Date.now() + 5000;
    while (pongs.length < 2 && Date.now() < until) await sleep(20);
    return { pongs };
  },
};

ws.on('open', async () => {
  const run = modes[mode];
  if (!run) fail('unknown mode ' + mode);
  try {
    const extra = await run();
    console.log(JSON.stringify(Object.assign({ received }, extra)));
    if (ws.readyState === WebSocket.OPEN) ws.terminate();
    process.exit(0);
  } catch (e) {
    fail(e && e.message ? e.message : e);
  }
});

// node `ws` as a page would use it: node node_client.js <url>
// Sends fragments, pings and a close, collects what comes back, prints one JSON line and exits.
'use strict';
const WebSocket = require('ws');

const url = process.argv[2];
const ws = new WebSocket(url, { perMessageDeflate: false });
const received = [];
const pongs = [];
let waiting = null; // { count, resolve }
ws.on('message', (data, isBinary) => {
  received.push(isBinary ? '<binary>' : data.toString('utf8'));
  if (waiting && received.length >= waiting.count) waiting.resolve();
});
ws.on('pong', (data) => pongs.push(data.toString('hex')));
ws.on('error', (e) => {
  console.log(JSON.stringify({ error: String(e) }));
  process.exit(2);
});

function repliesUntil(count) {
  if (received.length >= count) return Promise.resolve();
  return new Promise((resolve, reject) => {
    const t = setTimeout(() => reject(new Error('waited for ' + count + ' replies, got ' + received.length)), 60000);
    waiting = { count, resolve: () => { clearTimeout(t); waiting = null; resolve(); } };
  });
}

ws.on('open', async () => {
  try {
    ws.send('node-frag-1 ', { fin: false });
    ws.send('node-frag-2 ', { fin: false });
    ws.send('node-frag-3', { fin: true });
    // Bytes of Chinese characters split between fragments, sent as text frames.
    const bytes = Buffer.from('分片中文：你好，世界', 'utf8');
    const cuts = [0, 1, 5, 8, 13, bytes.length];
    for (let i = 0; i + 1 < cuts.length; i++)
      ws.send(bytes.subarray(cuts[i], cuts[i + 1]), { binary: false, fin: i + 2 === cuts.length });
    await repliesUntil(2);
    // Pongs come back before the reply to the message sent after the pings.
    ws.ping(Buffer.from('node-ping'));
    ws.ping();
    ws.send('node after ping');
    await repliesUntil(3);
    const start = Date.now();
    const closed = new Promise((resolve) => ws.on('close', (code) => resolve(code)));
    ws.close(1000, 'bye');
    const closeCode = await closed;
    console.log(JSON.stringify({ received, pongs, closeCode, closeMs: Date.now() - start }));
    process.exit(0);
  } catch (e) {
    console.log(JSON.stringify({ error: String(e && e.message ? e.message : e) }));
    process.exit(2);
  }
});

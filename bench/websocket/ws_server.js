// The yardstick for bench_ws_agent: a minimal node `ws` server that counts messages the same way.
//   NODE_PATH=/usr/share/nodejs node ws_server.js [port]
// "bench-start N" starts a round; after N further messages the client gets "done <N> <bytes>".
'use strict';
const { WebSocketServer } = require('ws');

const START = Buffer.from('bench-start ');
const wss = new WebSocketServer({
  host: '127.0.0.1',
  port: Number(process.argv[2] || 0),
  perMessageDeflate: false,
  maxPayload: 0, // no limit, as the agent takes frames up to 2 GiB
});

wss.on('listening', () => console.log('listening ' + wss.address().port));
wss.on('connection', (ws) => {
  let target = -1;
  let count = 0;
  let bytes = 0;
  ws.on('message', (data, isBinary) => {
    if (!isBinary && data.length >= START.length && data.compare(START, 0, START.length, 0, START.length) === 0) {
      target = Number(data.toString('latin1', START.length));
      count = 0;
      bytes = 0;
      return;
    }
    count += 1;
    bytes += data.length;
    if (count === target) {
      target = -1;
      ws.send('done ' + count + ' ' + bytes);
    }
  });
});

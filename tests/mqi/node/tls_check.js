// Connects to a stand-in queue manager over a TLS channel through IBM's Node.js binding
// (npm package ibmmq), with MQCD and MQSCO set as IBM's TLS sample sets them, and puts and
// gets one message when the connection is expected to work. Usage:
//   node tls_check.js <queue manager> <host(port)> <channel> <CipherSpec> <key repository>
//                     <queue> <expected reason code>
// Exits 0 when the connection ends as expected, 1 otherwise.
"use strict";

const mq = require("ibmmq");
const MQC = mq.MQC;

const [qmName, connName, channel, cipher, keyRepository, queueName, expectedText] = process.argv.slice(2);
const expected = Number(expectedText);

const cno = new mq.MQCNO();
cno.Options |= MQC.MQCNO_CLIENT_BINDING;
const cd = new mq.MQCD();
cd.ConnectionName = connName;
cd.ChannelName = channel;
cd.SSLCipherSpec = cipher;
cno.ClientConn = cd;
const sco = new mq.MQSCO();
sco.KeyRepository = keyRepository;
cno.SSLConfig = sco;

// The binding's ...Sync calls answer through a callback before they return.
function sync(fn, ...args) {
  let error = null;
  let value;
  fn(...args, (err, v) => {
    error = err;
    value = v;
  });
  if (error) throw error;
  return value;
}

let conn;
try {
  conn = sync(mq.ConnxSync, qmName, cno);
} catch (err) {
  const ok = err.mqrc === expected;
  console.log(`${ok ? "ok  " : "FAIL"} ${channel} with ${cipher}: MQCONNX reason ${err.mqrc}, expected ${expected}`);
  process.exit(ok ? 0 : 1);
}
if (expected !== 0) {
  console.log(`FAIL ${channel} with ${cipher}: connected, expected reason ${expected}`);
  sync(mq.DiscSync, conn);
  process.exit(1);
}
const od = new mq.MQOD();
od.ObjectName = queueName;
const hObj = sync(mq.OpenSync, conn, od, MQC.MQOO_OUTPUT | MQC.MQOO_INPUT_SHARED);
const md = new mq.MQMD();
md.Format = "MQSTR";
mq.PutSync(hObj, md, new mq.MQPMO(), "over TLS");
const gmo = new mq.MQGMO();
gmo.Options = MQC.MQGMO_NO_WAIT;
const buf = Buffer.alloc(256);
const len = mq.GetSync(hObj, new mq.MQMD(), gmo, buf);
const text = buf.subarray(0, len).toString();
sync(mq.CloseSync, hObj, 0);
sync(mq.DiscSync, conn);
const ok = text === "over TLS";
console.log(`${ok ? "ok  " : "FAIL"} ${channel} with ${cipher}: connected, message ${ok ? "came back" : "lost: " + text}`);
process.exit(ok ? 0 : 1);

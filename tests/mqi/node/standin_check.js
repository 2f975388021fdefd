// Checks a stand-in queue manager through IBM's Node.js binding (npm package ibmmq), whose
// native part calls the MQI of whichever libmqm_r it loads. Usage:
//   node standin_check.js <queue manager> <queue> <model queue>
// Prints one line per check and exits 1 when any fails.
"use strict";

const mq = require("ibmmq");
const MQC = mq.MQC;

const [qmName, queueName, modelName] = process.argv.slice(2);
let failures = 0;

function check(what, ok, detail) {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}${ok || detail === undefined ? "" : ": " + detail}`);
  if (!ok) failures++;
}

function mqrc(err) {
  return err ? err.mqrc : 0;
}

function getSync(hObj, options, md = new mq.MQMD(), gmo = new mq.MQGMO()) {
  gmo.Options = options | MQC.MQGMO_FAIL_IF_QUIESCING;
  const buf = Buffer.alloc(4096);
  try {
    const len = mq.GetSync(hObj, md, gmo, buf);
    return { rc: 0, md, gmo, text: buf.subarray(0, len).toString() };
  } catch (err) {
    return { rc: mqrc(err), md, gmo, text: "" };
  }
}

function putSync(hObj, text, options = MQC.MQPMO_NO_SYNCPOINT, md = new mq.MQMD(), pmo = new mq.MQPMO()) {
  md.Format = "MQSTR";
  pmo.Options = options;
  try {
    mq.PutSync(hObj, md, pmo, text);
    return 0;
  } catch (err) {
    return mqrc(err);
  }
}

function open(hConn, name, options, type = MQC.MQOT_Q) {
  const od = new mq.MQOD();
  if (type === MQC.MQOT_TOPIC) od.ObjectString = name;
  else od.ObjectName = name;
  od.ObjectType = type;
  return new Promise((resolve, reject) => mq.Open(hConn, od, options, (err, h) => (err ? reject(err) : resolve(h))));
}

function promise(fn, ...args) {
  return new Promise((resolve, reject) => fn(...args, (err, ...rest) => (err ? reject(err) : resolve(rest))));
}

// A PCF "ping queue manager" command on the command queue; the reply comes to a dynamic queue.
async function pcfPing(hConn) {
  const reply = await open(hConn, modelName, MQC.MQOO_INPUT_EXCLUSIVE);
  const replyName = reply._name;
  const cfh = Buffer.alloc(36);
  [MQC.MQCFT_COMMAND, 36, MQC.MQCFH_VERSION_1, MQC.MQCMD_PING_Q_MGR, 1, 1, 0, 0, 0].forEach((v, i) =>
    cfh.writeInt32LE(v, i * 4));
  const md = new mq.MQMD();
  md.Format = "MQADMIN";
  md.MsgType = MQC.MQMT_REQUEST;
  md.ReplyToQ = replyName;
  const od = new mq.MQOD();
  od.ObjectName = "SYSTEM.ADMIN.COMMAND.QUEUE";
  const pmo = new mq.MQPMO();
  pmo.Options = MQC.MQPMO_NO_SYNCPOINT;
  mq.Put1Sync(hConn, od, md, pmo, cfh);
  const gmo = new mq.MQGMO();
  gmo.WaitInterval = 5000;
  const got = getSync(reply, MQC.MQGMO_WAIT | MQC.MQGMO_NO_SYNCPOINT, new mq.MQMD(), gmo);
  await promise(mq.Close, reply, 0);
  return got;
}

// With VRQ_AUTH_USER and VRQ_AUTH_PASSWORD_FILE set, the queue manager requires a user id
// and password: a wrong password and no credentials at all are refused with 2035 first, then
// every check runs on a connection made with the right ones (MQCSP).
const authUser = process.env.VRQ_AUTH_USER;
const authPassword = process.env.VRQ_AUTH_PASSWORD_FILE
  ? require("fs").readFileSync(process.env.VRQ_AUTH_PASSWORD_FILE, "utf8").replace(/\r?\n$/, "")
  : undefined;

function connectOptions(user, password) {
  const cno = new mq.MQCNO();
  cno.Options = MQC.MQCNO_HANDLE_SHARE_BLOCK;
  cno.ApplName = "standin-check";
  if (user !== undefined) {
    const csp = new mq.MQCSP();
    csp.UserId = user;
    csp.Password = password;
    cno.SecurityParms = csp;
  }
  return cno;
}

async function refusedWith(what, cno, expected) {
  try {
    const [h] = await promise(mq.Connx, qmName, cno);
    await promise(mq.Disc, h);
    check(what, false, "connected");
  } catch (err) {
    check(what, mqrc(err) === expected, `MQRC ${mqrc(err)}`);
  }
}

async function main() {
  if (authUser !== undefined) {
    await refusedWith("MQCONNX with a wrong password: 2035", connectOptions(authUser, authPassword + "x"),
                      MQC.MQRC_NOT_AUTHORIZED);
    await refusedWith("MQCONNX with an unknown user: 2035", connectOptions(authUser + "x", authPassword),
                      MQC.MQRC_NOT_AUTHORIZED);
    await refusedWith("MQCONNX without credentials: 2035", connectOptions(), MQC.MQRC_NOT_AUTHORIZED);
  }
  const cno = connectOptions(authUser, authPassword);
  const [hConn] = await promise(mq.Connx, qmName, cno);
  check(authUser !== undefined ? "MQCONNX with user id and password (MQCSP)" : "MQCONNX", true);

  // Put, browse, get; the fields the queue manager fills.
  const q = await open(hConn, queueName, MQC.MQOO_OUTPUT | MQC.MQOO_INPUT_AS_Q_DEF | MQC.MQOO_BROWSE | MQC.MQOO_INQUIRE | MQC.MQOO_SET);
  check("MQPUT", putSync(q, "first") === 0 && putSync(q, "second") === 0);
  const browsed = getSync(q, MQC.MQGMO_BROWSE_FIRST);
  check("browse leaves the message", browsed.text === "first" && getSync(q, MQC.MQGMO_BROWSE_NEXT).text === "second");
  const got = getSync(q, MQC.MQGMO_NO_SYNCPOINT);
  check("MQGET", got.text === "first", got.text);
  check("ResolvedQName", got.gmo.ResolvedQName.trim() === queueName, got.gmo.ResolvedQName);
  check("ReplyToQMgr filled", got.md.ReplyToQMgr.trim() === qmName, got.md.ReplyToQMgr);
  check("PutApplName from MQCNO", got.md.PutApplName.trim() === "standin-check", got.md.PutApplName);
  const token = Buffer.from(got.md.AccountingToken);
  check("AccountingToken", token[31] === 6 && token.subarray(1, 1 + token[0]).toString() === String(process.getuid()),
        token.toString("hex"));
  getSync(q, MQC.MQGMO_NO_SYNCPOINT);

  // Syncpoint: backed out, then committed.
  putSync(q, "uncommitted", MQC.MQPMO_SYNCPOINT);
  await promise(mq.Back, hConn);
  check("MQBACK", getSync(q, MQC.MQGMO_NO_SYNCPOINT).rc === MQC.MQRC_NO_MSG_AVAILABLE);
  putSync(q, "committed", MQC.MQPMO_SYNCPOINT);
  await promise(mq.Cmit, hConn);
  check("MQCMIT", getSync(q, MQC.MQGMO_NO_SYNCPOINT).text === "committed");

  // MQINQ and MQSET.
  const selectors = [new mq.MQAttr(MQC.MQCA_Q_NAME), new mq.MQAttr(MQC.MQIA_CURRENT_Q_DEPTH), new mq.MQAttr(MQC.MQIA_TRIGGER_DEPTH)];
  const [inq] = await promise(mq.Inq, q, selectors);
  check("MQINQ", inq[0].value.trim() === queueName && inq[1].value === 0, JSON.stringify(inq));
  await promise(mq.Set, q, [new mq.MQAttr(MQC.MQIA_TRIGGER_DEPTH, 7)]);
  const [after] = await promise(mq.Inq, q, [new mq.MQAttr(MQC.MQIA_TRIGGER_DEPTH)]);
  check("MQSET", after[0].value === 7, JSON.stringify(after));

  // A dynamic queue from a model.
  const dyn = await open(hConn, modelName, MQC.MQOO_INPUT_EXCLUSIVE | MQC.MQOO_OUTPUT);
  putSync(dyn, "dynamic");
  const fromDyn = getSync(dyn, MQC.MQGMO_NO_SYNCPOINT);
  check("dynamic queue", fromDyn.text === "dynamic" && fromDyn.gmo.ResolvedQName.trim() !== modelName, fromDyn.gmo.ResolvedQName);
  await promise(mq.Close, dyn, 0);

  // Message properties set on a handle and read back from the got message.
  const [hOut] = await promise(mq.CrtMh, hConn, new mq.MQCMHO());
  await promise(mq.SetMp, hConn, hOut, new mq.MQSMPO(), "colour", new mq.MQPD(), "blue");
  await promise(mq.SetMp, hConn, hOut, new mq.MQSMPO(), "count", new mq.MQPD(), 42);
  const pmo = new mq.MQPMO();
  pmo.OriginalMsgHandle = hOut;
  putSync(q, "with properties", MQC.MQPMO_NO_SYNCPOINT, new mq.MQMD(), pmo);
  const [hIn] = await promise(mq.CrtMh, hConn, new mq.MQCMHO());
  const gmo = new mq.MQGMO();
  gmo.MsgHandle = hIn;
  gmo.Options = MQC.MQGMO_PROPERTIES_IN_HANDLE;
  const withProps = getSync(q, MQC.MQGMO_NO_SYNCPOINT | MQC.MQGMO_PROPERTIES_IN_HANDLE, new mq.MQMD(), gmo);
  const buf = Buffer.alloc(64);
  const [, colour] = await promise(mq.InqMp, hConn, hIn, new mq.MQIMPO(), new mq.MQPD(), "colour", buf);
  const [, count] = await promise(mq.InqMp, hConn, hIn, new mq.MQIMPO(), new mq.MQPD(), "count", buf);
  check("properties", withProps.text === "with properties" && colour === "blue" && count === 42, `${withProps.text} ${colour} ${count}`);

  // Asynchronous consume through MQCB/MQCTL.
  putSync(q, "async 1");
  putSync(q, "async 2");
  const received = await new Promise((resolve) => {
    const seen = [];
    const agmo = new mq.MQGMO();
    agmo.Options = MQC.MQGMO_NO_SYNCPOINT | MQC.MQGMO_WAIT;
    agmo.WaitInterval = 1000;
    mq.Get(q, new mq.MQMD(), agmo, (err, hObj, g, md, data) => {
      if (err) {
        mq.GetDone(hObj, () => resolve(seen));
      } else {
        seen.push(data.toString());
      }
    });
    mq.Ctl(hConn, MQC.MQOP_START, (err) => {
      if (err) resolve([`MQCTL ${err.mqrc}`]);
    });
  });
  check("asynchronous consume", received.join(",") === "async 1,async 2", received.join(","));

  // Publish/subscribe with a managed queue.
  const sd = new mq.MQSD();
  sd.ObjectString = "standin/check/#";
  sd.Options = MQC.MQSO_CREATE | MQC.MQSO_NON_DURABLE | MQC.MQSO_MANAGED;
  const { hObj: subQ, hSub } = await mq.SubPromise(hConn, null, sd);
  const topic = await open(hConn, "standin/check/prices", MQC.MQOO_OUTPUT, MQC.MQOT_TOPIC);
  check("publish", putSync(topic, "price 3") === 0);
  const pub = getSync(subQ, MQC.MQGMO_NO_SYNCPOINT);
  check("publication received", pub.text === "price 3", pub.text || pub.rc);
  await promise(mq.Close, topic, 0);
  await promise(mq.Close, hSub, 0);

  // A PCF command answered by the command server.
  const ping = await pcfPing(hConn);
  const reply = Buffer.from(ping.text, "latin1");
  check("PCF ping", ping.rc === 0 && ping.md.Format.trim() === "MQADMIN", ping.rc);

  await promise(mq.Close, q, 0);
  await promise(mq.Disc, hConn);
  check("MQDISC", true);
  void reply;
}

main()
  .catch((err) => check("unexpected error", false, err.message))
  .finally(() => {
    console.log(failures ? `${failures} checks failed` : "all checks passed");
    process.exit(failures ? 1 : 0);
  });

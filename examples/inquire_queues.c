/*
 * An outside program using the toolkit: asks a queue manager's command server for the
 * names of its local queues. It builds an Inquire Queue Names PCF command, puts it with
 * the queue-manager object, reads the response and prints one queue name a line.
 *
 *   inquire_queues <queue manager> [name mask]
 *
 * Exit status 0 when the command server answered with MQCC_OK, otherwise the MQ reason.
 * The same source builds as C and as C++.
 */
#include <cmqc.h>
#include <cmqcfc.h>

#include <stdio.h>
#include <string.h>

#include <vrqapi.h>
#include <vrqmqtx.h>

/* Milliseconds to wait for the command server's response. */
#define RESPONSE_WAIT 10000

/* Append a string or an integer parameter to the command; 1 on success. */
static int AppendStr(PcfMessage* cmd, int parameter, const char* value) {
  MESSAGE attr;
  memset(&attr, 0, sizeof attr);
  int ok = CreatePcfStrAttr(&attr, parameter, value) && AppendAttr(cmd, &attr);
  DeleteMessage(&attr);
  return ok;
}

static int AppendInt(PcfMessage* cmd, int parameter, int value) {
  MESSAGE attr;
  memset(&attr, 0, sizeof attr);
  int ok = CreatePcfIntAttr(&attr, parameter, value) && AppendAttr(cmd, &attr);
  DeleteMessage(&attr);
  return ok;
}

/* Prints the queue names of an indexed response; returns how many there were. */
static int PrintNames(PcfMessage* response) {
  MESSAGE names;
  memset(&names, 0, sizeof names);
  int count = 0;
  if (GetAttrByID(MQCACF_Q_NAMES, &names, response) && IsPcfStrListAttr(&names)) {
    const MQCFSL* list = (const MQCFSL*)names.pData;
    char name[MQ_Q_NAME_LENGTH + 1];
    for (; count < list->Count; ++count) {
      if (!GetPcfStrListAttrValue(&names, count, name, MQ_Q_NAME_LENGTH)) break;
      name[strcspn(name, " ")] = '\0';
      printf("%s\n", name);
    }
  }
  DeleteMessage(&names);
  return count;
}

int main(int argc, char** argv) {
  const char* qmName = argc > 1 ? argv[1] : "";
  const char* mask = argc > 2 ? argv[2] : "*";

  /* Connects; the private reply queues are made from the model queue by qmOpen. */
  MQManager* qm = CreateDMQManager(qmName, NULL, "EXAMPLE", "EXAMPLE");
  if (qm == NULL) return 1;
  if (qm->hConn == MQHC_UNUSABLE_HCONN || !qmOpen(qm, "")) {
    fprintf(stderr, "cannot open queue manager '%s': reason %d\n", qmName, (int)qm->lReason);
    int reason = (int)qm->lReason;
    DeleteMQManager(qm);
    return reason != 0 ? reason : 1;
  }

  int status = 1;
  PcfMessage* cmd = CreatePcfMessage(MQCMD_INQUIRE_Q_NAMES, MQCFT_COMMAND, 256);
  if (cmd != NULL && AppendStr(cmd, MQCA_Q_NAME, mask) && AppendInt(cmd, MQIA_Q_TYPE, MQQT_LOCAL)) {
    /* The response comes back into the same message; qmRead grows it as needed. */
    if (!qmWrite(&cmd->PcfMsg, qm) || !ResetMessage(&cmd->PcfMsg) ||
        !qmRead(&cmd->PcfMsg, RESPONSE_WAIT, qm)) {
      fprintf(stderr, "no response from the command server: reason %d\n", (int)qm->lReason);
      status = qm->lReason != 0 ? (int)qm->lReason : 1;
    } else if (!RawToPcf(cmd)) {
      fprintf(stderr, "the response is not a valid PCF message\n");
    } else if (cmd->pPcfHdr->CompCode != MQCC_OK) {
      fprintf(stderr, "%s failed: reason %d\n", PcfIdToName(cmd->pPcfHdr->Command),
              (int)cmd->pPcfHdr->Reason);
      status = (int)cmd->pPcfHdr->Reason;
    } else {
      PrintNames(cmd);
      status = 0;
    }
  }
  DeletePcfMessage(cmd);
  DeleteMQManager(qm);
  return status;
}

/*
 * vrqmqtx.h - the queue-manager access library: queue objects (MQueue), the queue-manager
 * connection with its private reply queues (MQManager), command posting and the
 * queue-manager self-test, queue qualifiers and generated queue names.
 *
 * Conventions: functions return 1 for success and 0 for failure; the MQI reason code of
 * the last operation stays in the object (lReason) or in an out-parameter. Objects are
 * created by a Create function and freed by the matching Delete function; an MQManager
 * owns its queue objects. All memory is tracked memory of vrqapi.
 */
#ifndef VRQMQTX_H
#define VRQMQTX_H

#include <stddef.h>
#include <stdint.h>

#include <cmqc.h>

#include "vrqapi.h"

#if defined(_WIN32)
#  if defined(VRQMQTX_BUILD)
#    define VRQMQTX_API __declspec(dllexport)
#  else
#    define VRQMQTX_API __declspec(dllimport)
#  endif
#else
#  define VRQMQTX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Kind numbers in the first field of the objects. */
#define MQMANAGER_KIND 3
#define MQUEUE_KIND    4

/* Names as the MQI keeps them: 48 characters plus a terminator. */
#define VRQ_MQ_NAME_SIZE 49

/* Reason codes of the toolkit where the MQI has none. */
#define VRQ_RC_NO_COMMAND_SERVER 20012

/* ---------------------------------------------------------------- queue object ---- */

typedef struct MQueue MQueue;
typedef void (*MQueueTrace)(const char* text, MQueue* queue);

/* The operations of a queue, in this order: qqOpen, qqClose, qqRead, qqWrite, qqClear,
 * qqIsOpen. */
typedef struct MQueueOps {
  int (*Open)(MQLONG options, MQueue* queue, const char* user);
  int (*Close)(MQueue* queue);
  int (*Read)(MESSAGE* message, MQGMO* getOptions, MQueue* queue);
  int (*Write)(MESSAGE* message, MQPMO* putOptions, MQueue* queue);
  int (*Clear)(MQueue* queue);
  int (*IsOpen)(MQueue* queue);
} MQueueOps;

/* One queue reached through a connection. szName is the name given at creation and, after
 * an open, the 48-character blank-padded name the open returned (for a dynamic queue the
 * generated name). hObj is -1 while the queue is not open. Tag "MQueue". */
struct MQueue {
  int32_t     lKind;                  /* always 4 */
  char        szName[VRQ_MQ_NAME_SIZE];
  MQHCONN     hConn;
  MQHOBJ      hObj;
  MQOD        ObjDesc;                /* version 1; DynamicQName "AMQ.*" unless set */
  MQLONG      lReason;                /* reason of the last MQI call on this queue */
  MQueueOps   Ops;
  MQueueTrace pTrace;                 /* may be null */
  void*       pTraceContext;
};

/* A queue object for the named queue (cut to 48 characters); null when memory is short. */
VRQMQTX_API MQueue* CreateMQueue(MQHCONN connection, const char* name);
/* A queue object that opens a dynamic queue named name (DynamicQName) from model. */
VRQMQTX_API MQueue* CreateMQDynamic(MQHCONN connection, const char* model, const char* name);
/* Closes the queue and frees the object; 0 for null. */
VRQMQTX_API int DeleteMQueue(MQueue* queue);

/* Opens with options + FAIL_IF_QUIESCING, + ALTERNATE_USER_AUTHORITY when user (at most 12
 * characters) is neither empty nor blank. 1 when the completion code is 0. */
VRQMQTX_API int qqOpen(MQLONG options, MQueue* queue, const char* user);
/* Opens a dynamic queue from model, named by the queue's current name. */
VRQMQTX_API int qqOpenDynamic(MQLONG options, MQueue* queue, const char* model, const char* user);
/* Closes an open queue (a closed queue closes successfully). */
VRQMQTX_API int qqClose(MQueue* queue);
/* 1 when both the connection and the object handle are valid. */
VRQMQTX_API int qqIsOpen(MQueue* queue);
/* 1 when the open queue (opened for inquire) has at least one input opener. */
VRQMQTX_API int qqIsOpenInput(MQueue* queue);
/* Puts the data of message (behind its MDHDR) with message->MsgDesc: MQPUT on an open
 * queue, a one-shot MQPUT1 otherwise (with the alternate user as UserIdentifier). */
VRQMQTX_API int qqWrite(MESSAGE* message, MQPMO* putOptions, MQueue* queue);
/* Gets into the data area of message, growing it once when the message is larger. 1 on
 * completion code 0, or 1 with reason 2111 or 2119. */
VRQMQTX_API int qqRead(MESSAGE* message, MQGMO* getOptions, MQueue* queue);
/* Gets the descriptor only; the message's length goes to MsgDesc.OriginalLength. */
VRQMQTX_API int qqReadHdr(MESSAGE* message, MQGMO* getOptions, MQueue* queue);
/* Removes every message from an open queue; 1 when it ended with no message left. */
VRQMQTX_API int qqClear(MQueue* queue);

/* Attribute access: on an open queue (depth and maximum depth; one integer selector), and
 * by queue name on a connection through a temporary object. */
VRQMQTX_API int qqGetStats(MQueue* queue, MQLONG* depth, MQLONG* maxDepth);
VRQMQTX_API int qqGetIntAttr2(MQueue* queue, MQLONG selector, MQLONG* value);
VRQMQTX_API int qqGetIntAttr(MQHCONN connection, const char* name, MQLONG selector,
                             MQLONG* value, MQLONG* reason);
VRQMQTX_API int qqGetAllQStats(MQHCONN connection, const char* name, MQLONG* depth,
                               MQLONG* maxDepth, MQLONG* openInput, MQLONG* openOutput,
                               MQLONG* triggerControl, MQLONG* reason);
VRQMQTX_API int qqSetCharAttr(MQHCONN connection, const char* name, MQLONG selector,
                              MQLONG length, const char* value, MQLONG* reason);

/* Message handles and properties, passed through to the MQI; 1 unless the completion
 * code is 2. */
VRQMQTX_API int qqOpenMsgHandle(MQHCONN connection, MQLONG createOptions, MQHMSG* handle,
                                MQLONG* reason);
VRQMQTX_API int qqCloseMsgHandle(MQHCONN connection, MQLONG deleteOptions, MQHMSG* handle,
                                 MQLONG* reason);
VRQMQTX_API int qqGetMsgProperty(MQHCONN connection, MQHMSG handle, MQLONG inquireOptions,
                                 const char* name, MQPD* descriptor, MQLONG* type,
                                 MQLONG valueLength, void* value, MQLONG* dataLength,
                                 MQLONG* reason);

/* Trace hooks: per queue, the process-wide default for queues created later, and a call
 * of the queue's hook (nothing when it has none). */
VRQMQTX_API int OnQTrace(MQueue* queue, MQueueTrace trace, void* context);
VRQMQTX_API int OnGQTrace(MQueueTrace trace, void* context);
VRQMQTX_API void RunQTrace(const char* text, MQueue* queue);

/* ------------------------------------------------------ qualifiers and queue names ---- */

/* Site qualifiers from "mqqual.ini"; an empty field is not configured. Tag "MQQUAL". */
typedef struct MQQual {
  char szModelQueue[VRQ_MQ_NAME_SIZE];  /* key ORVANE.MODEL.QUEUE */
  char szHighLevel[9];                  /* key ORVANE.HLQ */
  char szMidLevel[9];                   /* key ORVANE.MLQ */
} MQQual;

/* Kinds of generated queue names. */
#define QNAME_EVENT         1
#define QNAME_REPLY         2
#define QNAME_EVENT_QUEUE   3
#define QNAME_PUBSUB_EVENT  4
#define QNAME_PUBSUB_REPLY  5
#define QNAME_TPX_PROXY     6
#define QNAME_TPX_ADMIN     7
#define QNAME_TPX_AUDIT     8

VRQMQTX_API MQQual* CreateQual(void);
VRQMQTX_API int DeleteQual(MQQual* qual);
/* Zeroes qual and reads it from "mqqual.ini" in the configuration directory. Returns
 * qual, or null (qual left zeroed) when the file cannot be read. */
VRQMQTX_API MQQual* RetreiveQual(MQQual* qual);
/* Builds the queue name of kind from the first 8 characters of name and the qualifiers
 * (null = none) into name (VRQ_MQ_NAME_SIZE bytes; at most 48 characters). Returns name;
 * with a null name the base is "DEFAULT" and the result, valid until the next such call,
 * is library storage. */
VRQMQTX_API char* GenerateQueName(char* name, const MQQual* qual, int kind);

/* --------------------------------------------------------- queue-manager object ---- */

typedef struct MQManager MQManager;
typedef void (*MQManagerTrace)(const char* text, MQManager* manager);

/* The operations, in this order: qmOpen, qmClose, qmPost, qmWrite, qmRead,
 * qmWriteSelectReply, qmReadSelectReply. */
typedef struct MQManagerOps {
  int (*Open)(MQManager* manager, const char* user);
  int (*Close)(MQManager* manager);
  int (*Post)(MESSAGE* message, MQLONG wait, MQManager* manager);
  int (*Write)(MESSAGE* message, MQManager* manager);
  int (*Read)(MESSAGE* message, MQLONG wait, MQManager* manager);
  int (*WriteSelectReply)(MESSAGE* message, MQManager* manager, int which);
  int (*ReadSelectReply)(MESSAGE* message, MQLONG wait, MQManager* manager, int which);
} MQManagerOps;

/* One connection with the queues a command client needs. hConn is -1 when not connected.
 * The object owns its queues. Tag "MQManager". */
struct MQManager {
  int32_t        lKind;                 /* always 3 */
  char           szName[VRQ_MQ_NAME_SIZE];
  MQHCONN        hConn;
  MQLONG         lReason;               /* reason of the last MQI operation */
  MQLONG         lCommandLevel;         /* MQIA_COMMAND_LEVEL, 0 when unknown */
  MQueue*        pCmdQ;
  MQueue*        pHashQ;
  MQueue*        pEventQ;               /* event queue, or the D-variant's post queue */
  MQueue*        pReplyInqQ;
  MQueue*        pReplyCmdQ;
  MQManagerOps   Ops;
  MQManagerTrace pTrace;
  MQueueTrace    pQueueTrace;           /* handed to every queue of the object */
  void*          pTraceContext;         /* handed to every queue of the object */
};

/* Which reply queue the select-reply variants use. */
#define QM_REPLY_INQUIRY 1
#define QM_REPLY_COMMAND 2

/* Connects and creates the queue objects (nothing is opened yet). The reply prefix format
 * is printed with the number 8 (it may hold one integer directive; any other format is
 * used as it stands). Null only when memory is short; a failed connection leaves hConn -1
 * and the reason in the object. Every dynamic queue name ends in "*" at position 33 at the
 * latest (a long prefix is cut), so that the queue manager always completes a unique name. */
VRQMQTX_API MQManager* CreateMQManager(const char* name, const char* commandQueue,
                                       const char* eventQueue, const char* replyPrefixFormat);
VRQMQTX_API MQManager* CreateDMQManager(const char* name, const char* commandQueue,
                                        const char* replyPrefix, const char* replyPrefixFormat);
/* A user id and password for a connection. The password is used only while connecting:
 * the object keeps no copy of it, and the caller wipes its buffer afterwards. */
typedef struct MQCredentials {
  const char* pszUserId;        /* NUL-terminated user id */
  const char* pPassword;        /* the password's bytes (need not end in NUL) */
  MQLONG      lPasswordLength;
  MQLONG      lReserved;        /* 0 */
} MQCredentials;

/* As CreateMQManager and CreateDMQManager, connecting with MQCONNX and an MQCSP
 * (MQCSP_AUTH_USER_ID_AND_PWD) that carries the credentials; a null credentials pointer
 * connects with MQCONN, as the plain functions do. A refused user id or password leaves
 * hConn -1 and reason 2035 in the object. */
VRQMQTX_API MQManager* CreateMQManagerAuth(const char* name, const char* commandQueue,
                                           const char* eventQueue, const char* replyPrefixFormat,
                                           const MQCredentials* credentials);
VRQMQTX_API MQManager* CreateDMQManagerAuth(const char* name, const char* commandQueue,
                                            const char* replyPrefix, const char* replyPrefixFormat,
                                            const MQCredentials* credentials);
/* Closes (qmClose) and frees; 0 for null. */
VRQMQTX_API int DeleteMQManager(MQManager* manager);

/* Opens and empties the hash, inquiry reply and command reply queues (user as alternate
 * user of the hash queue); logs 0102W/0103E/0107W on failure, or 0109E (with the connect's
 * reason) when the object never connected. */
VRQMQTX_API int qmOpen(MQManager* manager, const char* user);
/* Deletes the queue objects and disconnects, unless the connection was the thread's
 * existing one (MQCONN answered 2002 when the object was created): that stays with its
 * owner. */
VRQMQTX_API int qmClose(MQManager* manager);
/* Puts message to the command queue with the command reply queue as reply-to queue; the
 * header's MsgId, CorrelId and UserId give the descriptor's identifiers and the user. */
VRQMQTX_API int qmWrite(MESSAGE* message, MQManager* manager);
/* Gets from the command reply queue (wait in ms: 0 none, -1 unlimited) and copies the
 * descriptor's identifiers back into the header. */
VRQMQTX_API int qmRead(MESSAGE* message, MQLONG wait, MQManager* manager);
VRQMQTX_API int qmWriteSelectReply(MESSAGE* message, MQManager* manager, int which);
VRQMQTX_API int qmReadSelectReply(MESSAGE* message, MQLONG wait, MQManager* manager, int which);
/* Inquires MQIA_COMMAND_LEVEL into lCommandLevel (0 when it cannot be had). */
VRQMQTX_API int DetermineCommandLevel(MQManager* manager);

VRQMQTX_API int OnQMgrTrace(MQManager* manager, MQManagerTrace trace, MQueueTrace queueTrace,
                            void* context);
VRQMQTX_API int OnGQMgrTrace(MQManagerTrace trace, MQueueTrace queueTrace, void* context);
VRQMQTX_API void RunQMgrTrace(const char* text, MQManager* manager);

/* ------------------------------------------------ command posting and self-test ---- */

/* Parameter ids of the self-test response, one per failed check. */
#define QMTEST_CMD_QUEUE    20301
#define QMTEST_REPLY_QUEUE  20302
#define QMTEST_EVENT_QUEUE  20303
#define QMTEST_PING         20304
#define QMTEST_CONNECT      20305

/* Reads one message from the event/post queue. */
VRQMQTX_API int qmPost(MESSAGE* message, MQLONG wait, MQManager* manager);
/* Self-test of a queue manager; fills response with one integer parameter per failed
 * check and, on failure, CompCode 2 and the last failing reason. 1 when all passed. */
VRQMQTX_API int qmTest(const char* name, const char* commandQueue, const char* replyPrefix,
                       const char* replyPrefixFormat, PcfMessage* response);
/* Changes a local queue's description through the command server. */
VRQMQTX_API int qmUpdateQueInfo(MQManager* manager, const char* queue, const char* description,
                                MQLONG* reason);
/* MQCMIT (commit non-zero) or MQBACK. */
VRQMQTX_API int qmEndTrans(MQManager* manager, int commit);
/* 1 for the PCF commands that only inquire. */
VRQMQTX_API int IsInquiryPcf(MQLONG command);
/* Hooks for adapting commands and replies to z/OS queue managers; they change nothing. */
VRQMQTX_API void UpdateZOSPcfCmd(void);
VRQMQTX_API void UpdateZOSPcfReply(void);

/* ------------------------------------------------------- installation discovery ---- */
/* What the local MQ installation holds, found without connecting: on Linux from mqs.ini in
 * the configuration root (VXWMQ_MQS_HOME when set, else /var/mqm) and each queue manager's
 * qm.ini. */

#define MQPLATFORM_KIND        5
#define VRQ_MAX_QMGR_NAMES     255
#define VRQ_LOG_PATH_SIZE      260
/* Room of every path output of this section; a longer result is refused (0). */
#define VRQ_PL_PATH_SIZE       1024
/* Kinds of GetErrorLogPath: one queue manager's directory, or the installation-wide one. */
#define VRQ_ERRLOG_QMGR        1
#define VRQ_ERRLOG_INSTALLATION 2
/* Filters of GetErrorLogNames: every AMQ* file, the AMQ*.LOG files, the AMQ*.FDC files. */
#define VRQ_ERRLOG_ALL         0
#define VRQ_ERRLOG_LOGS        1
#define VRQ_ERRLOG_FDC         2

typedef struct MQPlatform MQPlatform;
typedef int (*MQPlatformRead)(PcfMessage* message, MQPlatform* platform);

/* The local installation as an object. Tag "MQPlatform". */
struct MQPlatform {
  int32_t        lKind;       /* always 5 */
  char           szName[28];  /* the name given at creation, cut to 27 characters */
  int32_t        lReserved;   /* 0 */
  MQPlatformRead Read;        /* plRead */
};

/* Log settings of a queue manager (or the installation's defaults). */
typedef struct MQLogInfo {
  char    szLogPath[VRQ_LOG_PATH_SIZE];
  int32_t lLogType;          /* 2 circular, 3 linear */
  int32_t lPrimaryFiles;
  int32_t lSecondaryFiles;
  int32_t lFilePages;
  int32_t lBufferPages;
} MQLogInfo;

/* A new platform record (null when memory is short); DeleteMQPlatform frees it (0 for null). */
VRQMQTX_API MQPlatform* CreateMQPlatform(const char* name);
VRQMQTX_API int DeleteMQPlatform(MQPlatform* platform);
/* Append the names of the local queue managers to message: all of them, those matching
 * mask (IsMaskMatch), or nothing at all (plReadByProject, which returns 0). */
VRQMQTX_API int plRead(PcfMessage* message, MQPlatform* platform);
VRQMQTX_API int plReadWithMask(PcfMessage* message, MQPlatform* platform, const char* mask);
VRQMQTX_API int plReadByProject(PcfMessage* message, MQPlatform* platform, const char* project);

#if !defined(_WIN32)
/*
 * Appends one string list MQCA_Q_MGR_NAME (48-character elements) with the queue managers
 * of mqs.ini matching mask (each once, in file order), then the "QueueManager::*" values of
 * "mqproxy.ini" from the configuration directory, at most VRQ_MAX_QMGR_NAMES in all, and
 * re-indexes the message. Without mqs.ini it logs 0104W, sets CompCode 2 and Reason 2086
 * in the message and returns 0.
 */
VRQMQTX_API int Get_QMgr_Names(PcfMessage* message, const char* mask);
/* GetMQLogInfo and GetErrorLogPath read from MQ's ini files. */
VRQMQTX_API int GetMQLogInfo_FromIni(const char* name, MQLogInfo* info);
VRQMQTX_API int GetErrorLogPath_FromIni(int kind, const char* name, char* out);
/* Re-entrant tokenizer: the next token of text (null: continue at *cursor), null at the end. */
VRQMQTX_API char* pltfm_strtok_r(char* text, const char* separators, char** cursor);
#else
/* The MQ server version and release from the registry (both 0 on failure); 1 when read. */
VRQMQTX_API int GetNT_MQ_Version(int* version, int* release);
#endif

/* The default queue manager's name into out, which is cleared for size bytes first; the
 * name is cut to size - 1 characters so it stays terminated. 1 when found. */
VRQMQTX_API int GetDefaultQmgr(char* out, int size);
/* Appends two string lists for the queue managers of the group file "<group>.ini" (blanks
 * removed from group) in the configuration directory: parameter 20011 with "DEFAULT" for
 * each and MQCA_Q_MGR_NAME with the names; re-indexes the message. Logs 0108E when the file
 * cannot be read. 1 when at least one name was found. */
VRQMQTX_API int GetRemoteQMgrNames(PcfMessage* message, const char* group);
/* Log settings of the named queue manager from its qm.ini, or with a null or empty name
 * the LogDefaults of mqs.ini; info is cleared first. 1 when the file was read. */
VRQMQTX_API int GetMQLogInfo(const char* name, MQLogInfo* info);
/* The error-log directory (VRQ_PL_PATH_SIZE bytes) of the named queue manager (kind
 * VRQ_ERRLOG_QMGR) or of the installation (any other kind). 1 on success. */
VRQMQTX_API int GetErrorLogPath(int kind, const char* name, char* out);
/* Sets names[i] (a string list, MQCFSL) and times[i] (an integer list, MQCFIL, seconds,
 * 0 when unknown) for each file of directory that passes filter (VRQ_ERRLOG_*), i from 0
 * in directory order; the lists grow as needed. 1 when the directory was opened. */
VRQMQTX_API int GetErrorLogNames(const char* directory, int filter, MESSAGE* names,
                                 MESSAGE* times);
/* Path helpers: 1 for a relative path; the installation root into out (VRQ_PL_PATH_SIZE);
 * path (VRQ_PL_PATH_SIZE bytes, resolved in place) made absolute against base by its
 * leading ".." steps; path expressed relative to base in out (VRQ_PL_PATH_SIZE). */
VRQMQTX_API int IsPathRelative(const char* path);
VRQMQTX_API int GetBaseWMQPath(char* out);
VRQMQTX_API int RelPathToAbs(char* path, const char* base);
VRQMQTX_API int AbsPathToRel(const char* path, const char* base, char* out);
/* Replaces every from character of text in place; returns text. */
VRQMQTX_API char* CharSubstitute(char* text, char from, char to);

#ifdef __cplusplus
}
#endif

#endif /* VRQMQTX_H */

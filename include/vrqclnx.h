/*
 * vrqclnx.h - the network messaging library: host addressing and machine description,
 * the FIFO node queue, and the socket layer (socket records with text addresses, byte
 * counters kept in Buffer records, hooks, trace points and select-based multi-waits).
 *
 * Conventions: functions return 1 for success and 0 for failure unless said otherwise.
 * Socket operations leave the reason of a failure in the record's lLastError: a system
 * error number or one of the VRQ_SOCK_* codes below. Records are the caller's.
 */
#ifndef VRQCLNX_H
#define VRQCLNX_H

#include <stddef.h>
#include <stdint.h>

#include <vrqapi.h>

#if defined(_WIN32)
#  if defined(VRQCLNX_BUILD)
#    define VRQCLNX_API __declspec(dllexport)
#  else
#    define VRQCLNX_API __declspec(dllimport)
#  endif
#else
#  define VRQCLNX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The platform's 16-byte IPv4 socket address (family, port and address in network order). */
struct sockaddr_in;

/* ==== HOST ADDRESSING AND SYSTEM INFORMATION ==== */

/* Room the conversions below need in their output: dotted IPv4 text, host and service names. */
#define VRQ_IP_TEXT_SIZE      16
#define VRQ_HOST_NAME_SIZE    256
#define VRQ_SERVICE_NAME_SIZE 33

/* The machine description filled by GetSysInfo: the platform's uname record on Linux
 * (six texts of 65 characters), platform and host name in the Windows build. */
#if defined(_WIN32)
typedef struct SysInfo {
  char szPlatform[48];    /* the "OS" environment variable, or "Win32" */
  char szHostName[255];   /* gethostname, or "unknown host" */
} SysInfo;
#else
typedef struct SysInfo {
  char szSysName[65];
  char szNodeName[65];
  char szRelease[65];
  char szVersion[65];
  char szMachine[65];
  char szDomainName[65];
} SysInfo;
#endif

/* 1 when text is exactly four dot-separated groups of one to three decimal digits, each
 * at most 255, with nothing after the fourth group; else 0 (also for null). */
VRQCLNX_API int IsValidIp(const char* text);
/* Converts dotted IPv4 text into addr's address. "0.0.0.0" gives 255.255.255.255 (the
 * broadcast address) and success; text that is not a dotted address gives 0. */
VRQCLNX_API int MapHostIPToAddr(const char* text, struct sockaddr_in* addr);
/* out (VRQ_IP_TEXT_SIZE bytes) = dotted text of addr's address; 1. */
VRQCLNX_API int MapHostAddrToIP(char* out, const struct sockaddr_in* addr);
/* out (VRQ_HOST_NAME_SIZE bytes) = the official name of addr's address by reverse
 * look-up, cut to fit; "unknown host" and 0 when there is none. */
VRQCLNX_API int MapHostAddrToName(char* out, const struct sockaddr_in* addr);
/* out (VRQ_SERVICE_NAME_SIZE bytes) = the service name of addr's port for protocol
 * ("tcp" or "udp"), cut to fit; "unknown service" and 0 when there is none. */
VRQCLNX_API int MapServPortToName(char* out, const struct sockaddr_in* addr, const char* protocol);
/* *out = the dotted address as a 32-bit number in host byte order (all ones for text
 * that is not one). Always 1. */
VRQCLNX_API int MapStrIpToAddr(const char* text, uint32_t* out);
/* Forward look-up of name; out (VRQ_IP_TEXT_SIZE bytes) = dotted text of its first IPv4
 * address. 0 with out untouched when the name is unknown. */
VRQCLNX_API int ResolveHostName(const char* name, char* out);
/* Zero-fills and fills the machine description. */
VRQCLNX_API int GetSysInfo(SysInfo* info);
/* Linux build: appends "system::V<version>.R<release>::" and, with with_machine,
 * "<machine>::" to the text already in out (out_size bytes in all). A part that does not
 * fit is skipped and the following parts are still tried.
 * Windows build: writes over out (nothing is appended) a description of the running
 * system, "<product>, Version <major>.<minor>", or with with_machine
 * "Microsoft <product><edition>, 64-bit, Version <major>.<minor>.<build> <service pack>"
 * (or 32-bit); info is only checked for null. Cut to out_size - 1 characters. */
VRQCLNX_API int GetSysLabel(const SysInfo* info, char* out, int out_size, int with_machine);
/* VXWMQ_CPU_COUNT when set (values below 1 count as 1), else the processors online. */
VRQCLNX_API int GetProcessorCount(void);
/* 1 when gethostname fails (TCP/IP not active yet), else 0. With verbose, a failure
 * prints the date and a diagnostic line. */
VRQCLNX_API int bTcpipNotActive(int verbose);
/* Blocks until TCP/IP is active, logging every 300 seconds while it waits; returns 0. */
VRQCLNX_API int bWaitForTcpip(int always_verbose, const char* name);

/* ---- end of HOST ADDRESSING AND SYSTEM INFORMATION ---- */

/* ==== NODE QUEUE ==== */

/* One link of a node queue; the queue owns its links, the caller its items. */
typedef struct NodeQLink {
  struct NodeQLink* pNext;
  void* pItem;
} NodeQLink;

/* A FIFO of item pointers with a count, a readiness limit and a read cursor. */
typedef struct NodeQueue {
  NodeQLink* pHead;      /* null when empty */
  NodeQLink* pTail;      /* null when empty */
  NodeQLink* pCursor;    /* position of Qnext */
  int32_t lCount;
  int32_t lLimit;        /* -1: no limit */
} NodeQueue;

/* A new empty queue (limit -1), or null when it cannot be allocated. */
VRQCLNX_API NodeQueue* Qalloc(void);
/* Appends item at the tail. A null queue prints a line and does nothing. */
VRQCLNX_API void Qput(NodeQueue* queue, void* item);
/* The same as Qput. */
VRQCLNX_API void QputHigh(NodeQueue* queue, void* item);
/* Inserts item before the head. A null queue prints a line and does nothing. */
VRQCLNX_API void Qputhead(NodeQueue* queue, void* item);
/* Removes and returns the first item; null when empty (a null queue also prints a line). */
VRQCLNX_API void* Qget(NodeQueue* queue);
/* Removes every link holding item; the item itself is not freed. */
VRQCLNX_API void Qremove(NodeQueue* queue, void* item);
/* Puts the read cursor on the head. */
VRQCLNX_API void Qstart(NodeQueue* queue);
/* The item under the cursor, moving the cursor on; null at the end. */
VRQCLNX_API void* Qnext(NodeQueue* queue);
/* The number of items; 0 for a null queue. */
VRQCLNX_API int Qdepth(NodeQueue* queue);
/* Sets the readiness limit (-1 for none). */
VRQCLNX_API void SetQLimit(NodeQueue* queue, int limit);
/* The readiness limit; -1 for a null queue. */
VRQCLNX_API int GetQLimit(NodeQueue* queue);
/* 1 while the queue holds no more than its limit (always for no limit or a null queue). */
VRQCLNX_API int IsQReady(NodeQueue* queue);
/* Frees every non-null item (FreeMemory), every link and the queue; *queue = null. */
VRQCLNX_API void Qfree(NodeQueue** queue);

/* ---- end of NODE QUEUE ---- */

/* ==== SOCKET LAYER ==== */

/* Library codes kept in lLastError besides the system's error numbers. */
#define VRQ_SOCK_TIMEOUT        9000  /* the multi-wait timed out */
#define VRQ_SOCK_FD_RANGE       9001  /* a descriptor does not fit the multi-wait's descriptor sets */
#define VRQ_SOCK_NO_SERVICE     9002  /* the service name is unknown or the port out of range */
#define VRQ_SOCK_NO_HOST        9003  /* the host cannot be resolved */
#define VRQ_SOCK_PEER_CLOSED    9004  /* the peer closed the connection */

/* Width of the multi-wait's descriptor sets: descriptors from here on are refused (Linux);
 * a set takes at most this many sockets (Windows). */
#define VRQ_SOCK_SET_SIZE       1024

/* A text address: what callers fill in and what resolution reports back. */
typedef struct SocketAddress {
  char szHost[256];       /* host name or dotted address; "*" any local address, "@" this host */
  char szIp[40];          /* dotted text; when valid it wins over szHost */
  char szService[33];     /* decimal port, or a service name to look up */
  char szProtocol[47];    /* "tcp" or "udp", for the service-name look-up */
  uint32_t ulPort;        /* port in host byte order, set by resolution */
  char Reserved[4];
} SocketAddress;

struct SocketRecord;
/* Called after every failed system call, after lLastError is set; its result is kept. */
typedef int32_t (*SocketErrorHook)(struct SocketRecord* rec);
/* Called at every trace point with the point's name. */
typedef void (*SocketTraceHook)(const char* point, struct SocketRecord* rec);

/* One socket. Allocated by the caller, set up by the create operations. */
typedef struct SocketRecord {
  int32_t iSocket;            /* descriptor; -1 when there is none (WinSock handles kept
                                 only when they fit) */
  int32_t iFamily;            /* 2 (IPv4) */
  int32_t iType;              /* 1 stream, 2 datagram */
  int32_t iProtocol;          /* 0 */
  uint64_t ullBytesWritten;
  uint64_t ullBytesRead;
  int32_t lLastError;         /* 0 after success; system error number or VRQ_SOCK_* */
  int32_t lHookResult;        /* what the error hook returned at the last failure */
  SocketErrorHook pfnError;
  SocketTraceHook pfnTrace;
  int32_t lConnected;         /* 1 after connect, bind, accept or a completed pending connect */
  SocketAddress OwnName;      /* this end */
  SocketAddress Peer;         /* the other end: connect target or last datagram sender */
  Buffer* pCurrent;           /* the buffer of the read or write in progress */
  void* pOwner;               /* the object that embeds this record */
} SocketRecord;

/* Argument of the option calls: an option code (0 SO_DEBUG, 1 SO_REUSEADDR, 2 SO_KEEPALIVE,
 * 3 SO_DONTROUTE, 4 SO_LINGER, 5 SO_BROADCAST, 6 SO_OOBINLINE, 7 SO_SNDBUF, 8 SO_RCVBUF,
 * 9 SO_TYPE, 10 SO_ERROR; above 10 the system's own number) and two values. Codes 7 and 8
 * use ulValue1; linger uses ulValue1 as seconds and ulValue2 as on/off; the rest ulValue2. */
typedef struct SocketOption {
  uint32_t ulOption;
  uint32_t ulValue1;
  uint32_t ulValue2;
} SocketOption;

/* Work area of the multi-waits. Every list holds ulCount slots and ends at a null entry,
 * so at most ulCount - 1 sockets are used. The descriptor sets are the platform's
 * (fd_set), VRQ_SOCK_SET_SIZE descriptors wide. */
typedef struct SocketPostData {
  uint32_t ulCount;
  SocketRecord** ppInput;      /* sockets to wait on */
  SocketRecord** ppReady;      /* out: readable sockets */
  SocketRecord** ppWrite;      /* in and out (NPostSocket): sockets to wait on for writing */
  SocketRecord** ppException;  /* out: sockets with an exceptional condition */
  void* pReadSet;
  void* pWriteSet;
  void* pExceptSet;
} SocketPostData;

/* A multi-wait time-out: milliseconds (0-999) and seconds. */
typedef struct PostTimeout {
  uint32_t ulMilliSec;
  uint32_t ulSeconds;
} PostTimeout;

/* Platform start-up (nothing on Linux). */
VRQCLNX_API int OSInitSocket(SocketRecord* rec);
/* Zero-fills the record: no descriptor (-1), no hooks, not connected. */
VRQCLNX_API int InitSocket(SocketRecord* rec);
/* Initialises the record with the default trace hook and opens a socket of the family and
 * type (1 stream, 2 datagram). A WinSock handle too large for iSocket is closed again and
 * the call fails with WSAEMFILE (so does AcceptClient). */
VRQCLNX_API int CreateAnySocket(SocketRecord* rec, int family, int type);
/* An IPv4 stream socket. */
VRQCLNX_API int CreateSocket(SocketRecord* rec);
/* An IPv4 datagram socket. */
VRQCLNX_API int CreateUDPSocket(SocketRecord* rec);
/* Initialises the record around an open stream descriptor. */
VRQCLNX_API int CreateSocketFromExisting(SocketRecord* rec, int descriptor);
/* Closes the descriptor (when above 0) and marks the record as holding none, so that a
 * second call closes nothing. Always 1. */
VRQCLNX_API int DeleteSocket(SocketRecord* rec);
/* Makes the socket non-blocking / blocking. */
VRQCLNX_API int NoblockSocket(SocketRecord* rec);
VRQCLNX_API int BlockSocket(SocketRecord* rec);
/* Resolves addr and connects to it. Connecting a connected socket succeeds; a pending
 * non-blocking connect gives 0 with the would-block error. */
VRQCLNX_API int ConnectSocket(SocketRecord* rec, SocketAddress* addr);
/* Resolves addr and binds to it; on success addr and OwnName hold the bound name (with the
 * port the system chose when addr asked for port 0). */
VRQCLNX_API int BindSocketName(SocketRecord* rec, SocketAddress* addr);
/* Listens with the given backlog. */
VRQCLNX_API int ListenSocket(SocketRecord* rec, int backlog);
/* Accepts one connection into client (initialised here), whose OwnName and Peer receive
 * the connecting side's address. */
VRQCLNX_API int AcceptClient(SocketRecord* listener, SocketRecord* client);
/* One receive into the free part of buffer (lCounter2 up to lLength, lCounter1 as flags);
 * lCounter2 grows by what arrived. A closed peer gives 0 with VRQ_SOCK_PEER_CLOSED. */
VRQCLNX_API int ReadSocket(SocketRecord* rec, Buffer* buffer);
/* One send of the unsent part of buffer (lCounter3 up to lLength, lCounter1 as flags);
 * lCounter3 grows by what was taken, which may be less than asked. Datagram sockets send
 * to addr; an address that cannot be resolved gives EDESTADDRREQ. */
VRQCLNX_API int WriteSocket(SocketRecord* rec, Buffer* buffer, SocketAddress* addr);
/* Copies Peer / OwnName to out. */
VRQCLNX_API int GetFromAddr(SocketRecord* rec, SocketAddress* out);
VRQCLNX_API int GetSocketName(SocketRecord* rec, SocketAddress* out);
/* Sets addr's ip to "0.0.0.0". */
VRQCLNX_API int GetHostIP(SocketAddress* addr);
/* addr's ip, service and port from a system address. */
VRQCLNX_API int IpAddrToSocketAddr(SocketAddress* addr, const struct sockaddr_in* sys);
/* Resolves addr into sys (port first, then host, ip or "*"); on failure lLastError holds
 * the system error, VRQ_SOCK_NO_SERVICE or VRQ_SOCK_NO_HOST. */
VRQCLNX_API int AddrToIP(SocketRecord* rec, SocketAddress* addr, struct sockaddr_in* sys);
/* Resolves addr and connects (action 0) or binds (action 1). */
VRQCLNX_API int SockAction(SocketRecord* rec, SocketAddress* addr, int action);
/* Reads the option into ulValue1 / sets it from the option's values. */
VRQCLNX_API int GetSocketOptions(SocketRecord* rec, SocketOption* option);
VRQCLNX_API int SetSocketOptions(SocketRecord* rec, const SocketOption* option);
/* The system option number of an option code; -1 for a negative code. */
VRQCLNX_API int MapSockOption(int code);
/* TCP_NODELAY = flag. */
VRQCLNX_API int SetTcpNoDelay(SocketRecord* rec, int flag);
/* Send, then receive buffer size; stops at the first failure. */
VRQCLNX_API int SetTcpBuffer(SocketRecord* rec, int size);
/* SO_REUSEADDR = (flag == 1). */
VRQCLNX_API int ReuseSocket(SocketRecord* rec, int flag);
/* Install the record's hooks, or the default trace hook of records created from now on. */
VRQCLNX_API int OnSocketError(SocketRecord* rec, SocketErrorHook hook);
VRQCLNX_API int OnSocketTrace(SocketRecord* rec, SocketTraceHook hook);
VRQCLNX_API int OnGSocketTrace(SocketTraceHook hook);
/* Calls the record's trace hook with point, if it has one. */
VRQCLNX_API void RunSocketTrace(const char* point, SocketRecord* rec);
/* Allocates the lists and sets of a multi-wait of n slots; 0 as soon as one allocation
 * fails (FreeSocketPostData releases what was had). */
VRQCLNX_API int InitSocketPostData(SocketPostData* post, uint32_t n);
VRQCLNX_API int FreeSocketPostData(SocketPostData* post);
/* Waits until a socket of the input list is readable or has an exceptional condition.
 * 1 with the ready and exception lists filled; 0 with *error_out = errno, VRQ_SOCK_TIMEOUT,
 * or VRQ_SOCK_FD_RANGE when a descriptor is too large for the sets (Windows: when a set
 * would hold more than VRQ_SOCK_SET_SIZE sockets). A null timeout waits
 * without limit. Negative descriptors are skipped. */
VRQCLNX_API int PostSocket(SocketPostData* post, const PostTimeout* timeout, int* error_out);
/* As PostSocket, and also waits for the write list and for unconnected stream sockets of
 * the input list to become writable; the write list comes back holding the writable
 * sockets, each marked connected. */
VRQCLNX_API int NPostSocket(SocketPostData* post, const PostTimeout* timeout, int* error_out);
/* Installs AlarmHandler for SIGALRM (keeping the previous disposition) and arms an alarm;
 * returns what alarm() returns. */
VRQCLNX_API unsigned int enable_alarm(unsigned int seconds);
/* Cancels the alarm and restores the saved disposition; returns the seconds that were left. */
VRQCLNX_API unsigned int disable_alarm(void);
/* Logs "0106W Timeout received, possible unreachable host". */
VRQCLNX_API void AlarmHandler(int signal_number);

/* ---- end of SOCKET LAYER ---- */

/* ==== MQNODE ==== */

/* Node kind and modes. */
#define MQNODE_KIND          2
#define MQNODE_MODE_CLIENT   0   /* connects; also an accepted peer */
#define MQNODE_MODE_SERVER   1   /* binds, listens and accepts */

/* Node last-error values besides the socket's own (system error numbers, VRQ_SOCK_*). */
/* Would block: input kept or output queued; also a discarded write. It is the socket's
 * own code, so that a socket error passes through unchanged: EAGAIN, or WinSock's
 * WSAEWOULDBLOCK in the Windows build. */
#if defined(_WIN32)
#define MQNODE_WOULD_BLOCK     10035
#else
#define MQNODE_WOULD_BLOCK     11
#endif
#define MQNODE_NULL_QUEUED     105    /* a null entry was found on the output queue */
#define MQNODE_BAD_HEADER      2026   /* a header was not recognised or failed its check */
#define MQNODE_NO_ROOM         2102   /* the PCF message cannot be enlarged for the incoming one */
#define MQNODE_BAD_BODY        4005   /* the PCF body cannot be converted or parsed */
#define MQNODE_SIGN_FAILED     (-1000)
#define MQNODE_AUTH_FAILED     (-1001)
#define MQNODE_LIMIT_REACHED   (-1111) /* the pending-write limit was reached; message discarded */
#define MQNODE_INVALID         22     /* a null or empty message was handed to a write */

/* Sizes: the input buffer at creation, the output queue limit, the slots of mnPost and
 * mnNPost, and the largest PCF body a node accepts (a larger announced one is refused as
 * an unrecognised header). */
#define MQNODE_INPUT_SIZE      16520
#define MQNODE_QUEUE_LIMIT     100
#define MQNODE_POST_SLOTS      2513
#define MQNODE_MAX_BODY        (100 * 1024 * 1024)
#define MQNODE_APPL_NAME_SIZE  48

struct MQNode;
typedef int (*MQNodeOpenMethod)(struct MQNode* node);
typedef int (*MQNodeReadMethod)(PcfMessage* msg, struct MQNode* node);
typedef int (*MQNodePostMethod)(struct MQNode** nodes, struct MQNode** accept_out,
                                struct MQNode** ready_out, int seconds, int* error_out);
/* Called at every trace point with the point's name. */
typedef void (*MQNodeTraceHook)(const char* point, struct MQNode* node);

/* One end of a message connection over TCP or UDP. Created by the Create functions below,
 * freed by DeleteMQNode. */
typedef struct MQNode {
  uint32_t ulKind;                  /* always 2 */
  uint32_t ulMode;                  /* MQNODE_MODE_* */
  char szName[256];                 /* host text of the creation address; "@" for a wrapped socket */
  char szPlatform[256];             /* "UNIX" (Windows build: "WIN32") */
  char szUserId[13];                /* login name of the process owner, at most 12 characters */
  char szApplName[MQNODE_APPL_NAME_SIZE]; /* GetApplName at creation, zero-padded */
  SocketRecord Socket;              /* pOwner points back to the node */
  struct MQNode* pChild;            /* peer made by the last successful mnOpen of a server */
  int32_t lPendingLimit;            /* -1: none; when positive, writes beyond it are refused */
  int32_t lPending;                 /* messages handed over and not yet completely written */
  uint32_t ulWritten;               /* messages completely written */
  uint32_t ulRead;                  /* messages completely read */
  int32_t lLastError;               /* 0 or one of the values above */
  uint32_t ulOpen;                  /* 1 when connected, accepted or bound (UDP) */
  MQNodeOpenMethod pfnOpen;         /* mnOpen */
  MQNodeOpenMethod pfnClose;        /* mnClose */
  MQNodeReadMethod pfnRead;         /* mnRead */
  MQNodeReadMethod pfnBrowse;       /* mnBrowse */
  MQNodeReadMethod pfnWrite;        /* mnWrite */
  MQNodePostMethod pfnPost;         /* mnPost */
  MQNodeTraceHook pfnTrace;
  SocketAddress Address;            /* target of a client, own address of a server or UDP node */
  NodeQueue* pOutQ;                 /* queued output (Buffer records); null when none is pending */
  uint32_t ulQLimit;                /* applied to the output queue when it is made */
  Buffer InBuf;                     /* lLength: bytes expected, lCounter2: bytes received */
} MQNode;

/* A TCP node for addr in mode (a server binds and listens at once). SO_REUSEADDR off and
 * SO_LINGER on with 0 seconds. Null when the record cannot be allocated or addr is null;
 * other failures are left in lLastError. */
VRQCLNX_API MQNode* CreateMQNode(SocketAddress* addr, int mode);
/* As CreateMQNode with option applied in place of the address-reuse setting. */
VRQCLNX_API MQNode* CreateMQNodeWithOpt(SocketAddress* addr, int mode, SocketOption* option);
/* A UDP node bound to addr at once (ulOpen = the bind result); option applied when given. */
VRQCLNX_API MQNode* CreateUDPMQNodeWithOpt(SocketAddress* addr, SocketOption* option);
VRQCLNX_API MQNode* CreateUDPMQNode(SocketAddress* addr);
/* A node around an existing, set-up socket record (copied into the node). */
VRQCLNX_API MQNode* CreateAndBindMQNode(SocketRecord* socket, int mode);
/* Closes and frees the node (not its child). 0 for null, else 1. */
VRQCLNX_API int DeleteMQNode(MQNode* node);

/* Client: connects (ulOpen = the result; 0 with 11 while a non-blocking connect is under
 * way). Server: accepts one connection into a new peer node left in pChild, which the
 * caller then owns. An open node returns 1 at once. */
VRQCLNX_API int mnOpen(MQNode* node);
/* Drops queued output, closes the socket and frees the input buffer. 1 (0 for null). */
VRQCLNX_API int mnClose(MQNode* node);
/* Frees the output queue and every buffer on it; the pending count stays. */
VRQCLNX_API int mnClearPeningIO(MQNode* node);

/* Reads the next plain-form message into msg: 1 when a whole message was delivered; 0
 * with 11 when the socket would block (what arrived stays for the next call); 0 with
 * another last error when the message was refused, its bytes dropped. */
VRQCLNX_API int mnRead(PcfMessage* msg, MQNode* node);
/* mnRead for is_signed 0; otherwise reads a signed-form message and authenticates it. */
VRQCLNX_API int mnSRead(PcfMessage* msg, MQNode* node, int is_signed);
/* The receive loops of the two reads (header of 136 and 32 bytes): 1 once the expected
 * bytes are in the input buffer. */
VRQCLNX_API int mnReadMsg(MQNode* node);
VRQCLNX_API int mnSReadMsg(MQNode* node);
/* Peeks at the next message's MDHDR into msg (converted to local form) without consuming
 * anything; enlarges msg for the announced body. */
VRQCLNX_API int mnBrowse(PcfMessage* msg, MQNode* node);

/* Writes msg in plain form with user (at most 12 characters) as the header's UserId. addr
 * is used by UDP nodes only. 1 when written or queued (last error 11: queued, call
 * mnFinishWrite when writable), 0 when discarded. high queues at the same place. */
VRQCLNX_API int mnWriteMsg(PcfMessage* msg, MQNode* node, SocketAddress* addr, const char* user, int high);
/* mnWriteMsg for is_signed 0; otherwise the signed form under signature, with the node's
 * user id in the header and as Author. */
VRQCLNX_API int mnSWriteMsgWithPriority(PcfMessage* msg, MQNode* node, SocketAddress* addr,
                                        const char* user, int is_signed, const uint32_t* signature,
                                        int high);
VRQCLNX_API int mnSWriteMsg(PcfMessage* msg, MQNode* node, SocketAddress* addr, const char* user,
                            int is_signed, const uint32_t* signature, int high);
/* Plain writes with the node's user id, without / with a UDP destination. */
VRQCLNX_API int mnWrite(PcfMessage* msg, MQNode* node);
VRQCLNX_API int mnWriteTo(PcfMessage* msg, MQNode* node, SocketAddress* addr);
/* Plain or signed writes with the node's user id, normal priority. */
VRQCLNX_API int mnSWrite(PcfMessage* msg, MQNode* node, int is_signed, const uint32_t* signature);
VRQCLNX_API int mnSWriteTo(PcfMessage* msg, MQNode* node, SocketAddress* addr, int is_signed,
                           const uint32_t* signature);
/* Writes with the message header's own UserId, which gets the node's user id when it is
 * empty or begins with a blank; normal / high priority. */
VRQCLNX_API int mnSWriteAltUser(PcfMessage* msg, MQNode* node, int is_signed, const uint32_t* signature);
VRQCLNX_API int mnSWriteAltUserHigh(PcfMessage* msg, MQNode* node, int is_signed, const uint32_t* signature);
/* Hands a finished wire image (a tracked Buffer record with its bytes, which the node then
 * owns) to the socket: written at once, or queued. UDP nodes discard what the socket does
 * not take at once (0 with 11). */
VRQCLNX_API int mnWriteToNode(MQNode* node, SocketAddress* addr, Buffer* buffer, int high);
/* Pushes queued output: 1 when all was written or the socket would block again; 0 when a
 * write failed (that message is discarded). */
VRQCLNX_API int mnFinishWrite(MQNode* node);
/* 1 when output is queued. */
VRQCLNX_API int mnIsPendingIO(MQNode* node);

/* Waits on the null-terminated nodes up to seconds (negative: without limit); servers
 * with a waiting connection go to accept_out, nodes with data to ready_out (both
 * null-terminated; each must have room for every node plus the terminator). 1 when some
 * node is ready; 0 with *error_out = errno or 9000 on time-out. */
VRQCLNX_API int mnPost(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, int seconds, int* error_out);
VRQCLNX_API int mnPostEx(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, int seconds,
                         int* error_out, SocketPostData* post);
VRQCLNX_API int mnPostExMSec(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, int milliseconds,
                             int* error_out, SocketPostData* post);
/* As mnPost, and nodes with queued output or a pending connect that became writable go to
 * writable_out (their ulOpen set to 1). */
VRQCLNX_API int mnNPost(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, MQNode** writable_out,
                        int seconds, int* error_out);
VRQCLNX_API int mnNPostEx(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, MQNode** writable_out,
                          int seconds, int* error_out, SocketPostData* post);
VRQCLNX_API int mnNPostExMSec(MQNode** nodes, MQNode** accept_out, MQNode** ready_out,
                              MQNode** writable_out, int milliseconds, int* error_out, SocketPostData* post);

/* Socket send and receive buffer sizes; 1 only if both were set. */
VRQCLNX_API int mnSetBufferSize(MQNode* node, int size);
/* The node's / the default trace hook (the latter installed into nodes created later). 1. */
VRQCLNX_API int mnSetTraceCallBack(MQNodeTraceHook hook, MQNode* node);
VRQCLNX_API int mnGSetTraceCallBack(MQNodeTraceHook hook);
/* Calls the node's trace hook, if it has one. */
VRQCLNX_API void RunTraceMethod(const char* point, MQNode* node);
/* lLastError = the socket's last error. */
VRQCLNX_API void SetMQNodeError(MQNode* node);
/* 1 for a null node or one without output queue, else the queue's readiness. */
VRQCLNX_API int IsNodeQReady(MQNode* node);
/* Applies ulQLimit to the output queue when both exist. */
VRQCLNX_API void SetNodeQLimit(MQNode* node);
/* 1 for a null node; 0 when lLastError is 0 or -1111; else 1 (11 included). */
VRQCLNX_API int IsNodeFailed(MQNode* node);
/* Keeps up to 48 characters of name as the process's application name. 1. */
VRQCLNX_API int SetApplName(const char* name);
/* The process's command name, blanks removed, upper-cased, at most 48 characters, into out
 * (*length bytes, cleared; not terminated when the name fills them); *length becomes its
 * length. "UNKNOWN" with *length 0 when the name cannot be had. Found without a shell or
 * temporary file. 1 (0 for null arguments). */
VRQCLNX_API int GetApplName(char* out, int* length);

/* ---- end of MQNODE ---- */

#ifdef __cplusplus
}
#endif

#endif /* VRQCLNX_H */

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
/* Appends "system::V<version>.R<release>::" and, with with_machine, "<machine>::" to the
 * text already in out (out_size bytes in all). A part that does not fit is skipped and
 * the following parts are still tried. */
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
#define VRQ_SOCK_FD_RANGE       9001  /* a descriptor lies beyond the multi-wait's descriptor sets */
#define VRQ_SOCK_NO_SERVICE     9002  /* the service name is unknown or the port out of range */
#define VRQ_SOCK_NO_HOST        9003  /* the host cannot be resolved */
#define VRQ_SOCK_PEER_CLOSED    9004  /* the peer closed the connection */

/* Width of the multi-wait's descriptor sets: descriptors from here on are refused. */
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
  int32_t iSocket;            /* descriptor; -1 when there is none */
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
 * type (1 stream, 2 datagram). */
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
 * or VRQ_SOCK_FD_RANGE when a descriptor is too large for the sets. A null timeout waits
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

#ifdef __cplusplus
}
#endif

#endif /* VRQCLNX_H */

/*
 * vrqapi.h - the toolkit's base library: tracked memory, message records, the PCF
 * message model with its attribute families, byte-order and text conversion, printing
 * and sorting; logging, hex dumps and paths, ini and permission files, masks, and the
 * MQSC translation with its tables.
 *
 * Conventions: functions return 1 for success and 0 for failure unless said otherwise;
 * lookups and counts return -1 for "none". All heap memory crossing this interface comes
 * from fNewMemory/fSizeMemory and goes back through FreeMemory.
 */
#ifndef VRQAPI_H
#define VRQAPI_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <cmqc.h>
#include <cmqxc.h>
#include <cmqcfc.h>

#if defined(_WIN32)
#  if defined(VRQAPI_BUILD)
#    define VRQAPI_API __declspec(dllexport)
#  else
#    define VRQAPI_API __declspec(dllimport)
#  endif
#else
#  define VRQAPI_API __attribute__((visibility("default")))
#endif

/* Marks what the Linux build exports and the Windows DLL keeps to itself (the block
 * tracking, the steps of the permit mask, the tokenizer and the MQSC table routines). */
#if defined(_WIN32)
#  define VRQAPI_LINUX_API
#else
#  define VRQAPI_LINUX_API VRQAPI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ==== TRACKED MEMORY: fNewMemory, fSizeMemory, FreeMemory, bGarbage, block tracking, memory log ==== */


/* The fill byte of fNewMemory (its low byte fills every new block): 0, so new memory is
 * zero-filled and the rest of the toolkit relies on that. */
VRQAPI_LINUX_API extern const int32_t bGarbage;

/* One registered block in the tracking list (newest first). The allocation functions do
 * not register anything; only fCreateBlockInfo does. */
typedef struct BlockRecord {
  struct BlockRecord* pNext;   /* next (older) record, null at the end */
  void*    pAddress;           /* start of the block */
  uint64_t ulSize;             /* size of the block in bytes */
  int32_t  lReferenced;        /* set by NoteMemoryRef, cleared by ClearMemoryRefs */
  char     szModule[36];       /* owner tag, cut to 35 characters */
} BlockRecord;

/* Allocates size bytes filled with the bGarbage byte and stores the address (or null) in
 * *slot. Returns 1 when the address is not null. The module text names the owner. */
VRQAPI_API int fNewMemory(void** slot, size_t size, const char* module);
/* Resizes the block at *slot keeping its bytes (added bytes are not filled). On success
 * stores the new address and returns 1; on failure returns 0 and *slot stays valid. */
VRQAPI_API int fSizeMemory(void** slot, size_t size);
/* Releases a block from fNewMemory/fSizeMemory; null is allowed. */
VRQAPI_API void FreeMemory(void* block);
/* Sends the memory log to path (truncated). Null or empty keeps the current stream; a
 * path that cannot be opened is reported and the log goes to standard output. */
VRQAPI_API void SetMemoryLogFile(const char* path);
/* Registers a block at the head of the tracking list. 0 when the record cannot be had. */
VRQAPI_LINUX_API int fCreateBlockInfo(void* address, size_t size, const char* module);
/* Unlinks and releases the record whose block starts at address; nothing when none. */
VRQAPI_LINUX_API void FreeBlockInfo(void* address);
/* The first record whose block contains pointer, or null. */
VRQAPI_LINUX_API BlockRecord* pbiGetBlockInfo(void* pointer);
/* Moves the record containing oldAddress to newAddress/newSize; returns newSize. */
VRQAPI_LINUX_API size_t UpdateBlockInfo(void* oldAddress, void* newAddress, size_t newSize);
/* Size of the registered block containing pointer, 0 when none. */
VRQAPI_LINUX_API size_t sizeofBlock(void* pointer);
/* Clears the referenced flag of every record. */
VRQAPI_LINUX_API void ClearMemoryRefs(void);
/* Sets the referenced flag of the record containing pointer; nothing when none. */
VRQAPI_API void NoteMemoryRef(void* pointer);
/* Walks the list; reports nothing. */
VRQAPI_LINUX_API void CheckMemoryRefs(void);
/* Always 1: pointers are not validated. */
VRQAPI_API int fValidPointer(void* pointer, size_t size);
/* Writes one line per record and an end line to the memory log; returns the count. */
VRQAPI_API int DumpMemoryLog(void);

/* ---- end of TRACKED MEMORY ---- */

/* ==== MESSAGE RECORDS: MDHDR, MSHDRE, MESSAGE, Buffer ==== */


/* The 136-byte header at the start of every MESSAGE block; integers in the writer's byte
 * order. Sent over the wire as it stands. */
typedef struct MDHDR {
  MQLONG StrucLength;     /* 136 for a valid header (set by the sender) */
  MQLONG lReserved1;
  MQLONG lByteOrder;      /* 1 when the writer was big-endian */
  MQLONG lTextCode;       /* 1 when the writer's text was ASCII */
  MQBYTE MsgId[24];
  MQBYTE CorrelId[24];
  MQLONG lUserMsgLength;  /* length of the data behind the header */
  MQLONG lReserved3;
  MQCHAR UserId[12];
  MQCHAR ApplName[48];
  MQLONG lHdrMark;        /* 1 once the block has been allocated */
} MDHDR;

#define MDHDR_LENGTH 136
#define MSHDRE_LENGTH 32

/* The 32-byte PCF header extension. */
typedef struct MSHDRE {
  MQLONG StrucLength;     /* 32 when valid */
  MQLONG Version;         /* 1 */
  MQLONG Encoding;        /* as MDHDR.lByteOrder */
  MQLONG CharSet;         /* as MDHDR.lTextCode */
  MQLONG UserMsgLength;   /* the whole message length */
  MQCHAR Author[12];
} MSHDRE;

/* A growable block of an MDHDR and data, with the descriptor that goes with it. The
 * record is the caller's; the library owns the block. A view has pMdHdr null and pData
 * pointing into somebody else's bytes, with both lengths the viewed length. */
typedef struct MESSAGE {
  MQLONG lKind;           /* 1 */
  MDHDR* pMdHdr;          /* owned block, null when nothing is owned */
  char*  pData;           /* pMdHdr + 136 for an owning record */
  MQLONG lMaxLength;      /* allocated length, header included */
  MQLONG lMsgLength;      /* used length, header included */
  MQMD   MsgDesc;
} MESSAGE;

/* A plain growable byte area. The three counters belong to the buffer's user. */
typedef struct Buffer {
  char*  pBuffer;
  MQLONG lLength;
  MQLONG lSize;
  MQLONG lCounter1;
  MQLONG lCounter2;
  MQLONG lCounter3;
} Buffer;

/* Allocates 136 + capacity bytes and sets the record up empty with the default
 * descriptor. The header's StrucLength stays 0. */
VRQAPI_API int CreateMessage(MESSAGE* msg, int capacity);
/* Resizes the block to 136 + capacity; the data then counts as empty. A failure leaves
 * the record unchanged. */
VRQAPI_API int SizeMessage(MESSAGE* msg, int capacity);
/* As SizeMessage, but refuses when the data would not fit and keeps the data length. */
VRQAPI_API int SizeMessageKeep(MESSAGE* msg, int capacity);
/* Empties the record (allocating 256 data bytes when it owns nothing) and resets the
 * descriptor; the block and the rest of its header stay. */
VRQAPI_API int ResetMessage(MESSAGE* msg);
/* Resets to, copies lKind, the first 8 header bytes and the descriptor, then appends
 * the data of from. */
VRQAPI_API int CopyMessage(MESSAGE* from, MESSAGE* to);
/* Appends the data of from behind the data of to, growing to when needed. */
VRQAPI_API int AppendMessage(MESSAGE* to, MESSAGE* from);
/* Frees the block (nothing for a view) and clears pointers and lengths; 0 when pData is
 * null. lKind and MsgDesc stay. */
VRQAPI_API int DeleteMessage(MESSAGE* msg);
/* 1 when the header's StrucLength is 136. */
VRQAPI_API int VerifyMessage(MESSAGE* msg);
/* 1 when the extension's StrucLength is 32. */
VRQAPI_API int VerifyMessageExt(MSHDRE* ext);
/* Prints the header's lengths, ApplName and UserId to standard output. */
VRQAPI_API void PrintMessage(MESSAGE* msg);

/* Allocates size bytes; lLength = lSize = size, counters cleared. */
VRQAPI_API int CreateBuffer(Buffer* buf, int size);
/* Clears the counters, grows to length when needed, lLength = min(length, lSize). 1. */
VRQAPI_API int ResetBuffer(Buffer* buf, int length);
/* Reallocates to size bytes (lLength unchanged); a failure leaves the record unchanged. */
VRQAPI_API int SizeBuffer(Buffer* buf, int size);
/* Frees the bytes and zeroes the record; 0 when pBuffer is null. */
VRQAPI_API int DeleteBuffer(Buffer* buf);

/* ---- end of MESSAGE RECORDS ---- */

/* ==== PCF PARAMETER STRUCTURES: MQCF* layouts, the program types 997/998/999, IsPcfAttrValid ==== */

/* The toolkit's own parameter structure types beside IBM's MQCF* ones (cmqcfc.h). Their
 * words sit where MQCFSL (997) and MQCFST (998, 999) keep theirs; data follows the fixed
 * part and StrucLength is always a multiple of 4. */
#define EXCFT_BYTE_STRING_LIST 997
#define EXCFT_PCF              998
#define EXCFT_BINARY           999

/* Byte-string list: Count elements of StringLength bytes follow. */
typedef struct EXCFBL {
  MQLONG Type;
  MQLONG StrucLength;     /* Round4(24 + Count x StringLength) */
  MQLONG Parameter;
  MQLONG Reserved;        /* 0 */
  MQLONG Count;
  MQLONG StringLength;
} EXCFBL;

/* Embedded PCF (998) and binary (999): StringLength bytes follow (for 998 the MQCFH
 * and parameters of another message). */
typedef struct EXCFBIN {
  MQLONG Type;
  MQLONG StrucLength;     /* Round4(20 + StringLength) */
  MQLONG Parameter;
  MQLONG Reserved;        /* 0 */
  MQLONG StringLength;
} EXCFBIN;

#define EXCFBL_STRUC_LENGTH_FIXED  24
#define EXCFBIN_STRUC_LENGTH_FIXED 20

/* The one check every reader applies before using a parameter structure held by attr
 * (an owning attribute record or a view into a message): 1 valid, 0 not. */
VRQAPI_API int IsPcfAttrValid(MESSAGE* attr);

/* ---- end of PCF PARAMETER STRUCTURES ---- */

/* ==== PCF MESSAGE: PcfMessage, indexing, serialisation, command names ==== */

/* Entries in the index of a PCF message: the MQCFH and at most 149 parameters. */
#define PCF_INDEX_ENTRIES 150
#define PCF_MAX_PARAMETERS (PCF_INDEX_ENTRIES - 1)

/* Kind number in the first field of every PcfMessage. */
#define PCF_MESSAGE_KIND 6

/*
 * One PCF message: its bytes (an MQCFH and the parameter structures, in the writer's byte
 * order) in PcfMsg, and an index of views of those structures in Attrs (entry 0 the MQCFH,
 * entries 1..ParameterCount the top-level parameters, a group view covering its members).
 * Created by CreatePcfMessage or DeserializePcfMessage, released by DeletePcfMessage;
 * pNext is an optional chained message owned by this one.
 */
typedef struct PcfMessage {
  int32_t lKind;                       /* always 6 */
  MSHDRE Ext;                          /* header extension sent in front by the network layer */
  MQCFH* pPcfHdr;                      /* the MQCFH, i.e. PcfMsg.pData */
  MESSAGE Attrs[PCF_INDEX_ENTRIES];    /* non-owning views built by RawToPcf */
  MESSAGE PcfMsg;                      /* owns the bytes; MsgDesc is the MQMD used on put */
  struct PcfMessage* pNext;            /* chained message, owned; null when none */
} PcfMessage;

/*
 * Creates a PCF message for the command with room for capacity parameter bytes behind
 * the 36-byte MQCFH (Type SetPcfType(type), Version 1, MsgSeqNumber 1, Control
 * MQCFC_LAST, ParameterCount 0), Format "MQADMIN " and MsgType PcfToMsgType(type).
 * Returns the message, or null when memory runs out.
 */
VRQAPI_API PcfMessage* CreatePcfMessage(int command, int type, int capacity);

/* Empties the message for a new command and type, keeping its block; deletes the chain. */
VRQAPI_API int ResetPcfMessage(PcfMessage* msg, int command, int type);

/*
 * Resizes the block to hold capacity parameter bytes and leaves an empty MQCFH (Type and
 * Command keep what the block holds). Returns the result of re-indexing, 0 when the
 * resize fails.
 */
VRQAPI_API int SizePcfMessage(PcfMessage* msg, int capacity);

/* Re-points pPcfHdr at the data of PcfMsg; returns msg. */
VRQAPI_API PcfMessage* ResetPcfBuffer(PcfMessage* msg);

/* Copies from into to (bytes, descriptor, Ext and the chain) and re-indexes to. */
VRQAPI_API int CopyPcfMessage(PcfMessage* from, PcfMessage* to);

/* Frees the message, its block and its chain. Null gives 0. */
VRQAPI_API int DeletePcfMessage(PcfMessage* msg);

/*
 * Appends the structure held by attr (a record built by the attribute families) and
 * counts it in ParameterCount; raises the MQCFH Version to 2 for a byte string and to 3
 * for a filter. Refuses a 150th parameter. Does not re-index: call RawToPcf before
 * reading by position or identifier. attr stays the caller's.
 */
VRQAPI_API int AppendAttr(PcfMessage* msg, MESSAGE* attr);

/* MQCFH Type written for a message type: the XR types 17-19 become MQCFT_RESPONSE. */
VRQAPI_API int SetPcfType(int type);

/* MQCFH Version for a requested version: the version itself. */
VRQAPI_API int SetPcfVersion(int version);

/* MQMD MsgType for a PCF message type: request, reply, report or datagram. */
VRQAPI_API int PcfToMsgType(int type);

/* The Type word of the structure held by attr (0 when attr holds fewer than 4 bytes). */
VRQAPI_API int GetPcfAttrType(MESSAGE* attr);

/* Name of an MQCMD_ or EXCMD_ command code; "UNKNOWN" when the code has none. */
VRQAPI_API const char* PcfIdToName(int command);

/* Writes the bare PCF bytes (MQCFH and parameters) to path. 1 only if all were written. */
VRQAPI_API int SerializePcfMessage(PcfMessage* msg, const char* path);

/* Reads a file written by SerializePcfMessage into a new, indexed message; null on failure. */
VRQAPI_API PcfMessage* DeserializePcfMessage(const char* path);

/*
 * Indexes the message: checks every structure (MQCFH, parameters, group members) against
 * the data length and the attribute check, fills Attrs and sets PcfMsg.lMsgLength to the
 * extent of the indexed structures. Returns 1 when all were accepted, 0 otherwise (the
 * bytes are untouched except a ParameterCount above 149, which is cut to 149).
 */
VRQAPI_API int RawToPcf(PcfMessage* msg);

/*
 * Copies the indexed structure at position (0 the MQCFH, 1..ParameterCount the parameters,
 * a group with all its members) into out, growing it when needed. 0 for a position
 * outside the index.
 */
VRQAPI_API int GetAttrByPos(int position, MESSAGE* out, PcfMessage* msg);

/* Copies the first parameter whose Parameter word equals parameter; 0 (out untouched) when none. */
VRQAPI_API int GetAttrByID(int parameter, MESSAGE* out, PcfMessage* msg);

/* As GetAttrByID, and stores the position found in *position when position is not null. */
VRQAPI_API int GetAttrByIDRetPos(int parameter, MESSAGE* out, PcfMessage* msg, int* position);

/* ---- end of PCF MESSAGE ---- */

/* ==== PCF ATTRIBUTES: the attribute families ==== */

/*
 * Each attribute is a MESSAGE whose data holds exactly one parameter structure, built by
 * a Create function (which creates the record: delete it with DeleteMessage) and read and
 * changed by the functions of its family. Every type test, getter and setter first applies
 * IsPcfAttrValid and then tests the Type; either failure gives 0. For lists, an index
 * below 0 on a setter means "append", and an index at or beyond Count grows the list to
 * index + 1 elements first; a getter's index must lie in 0..Count-1.
 */

/* MQCFIN (3): one 32-bit integer. */
VRQAPI_API int CreatePcfIntAttr(MESSAGE* attr, int parameter, int value);
VRQAPI_API int IsPcfIntAttr(MESSAGE* attr);
VRQAPI_API int GetPcfIntAttrValue(MESSAGE* attr, int* value);
VRQAPI_API int SetPcfIntAttrValue(MESSAGE* attr, int value);

/*
 * MQCFIL (5): a list of 32-bit integers, created with count zero values. The Str getter
 * writes the values as "1,22,333", leaving out those that do not fit in room bytes with
 * the terminator; the Str setter reads numbers separated by ';' or ',' from the first 255
 * characters of text into positions 0, 1, ... (growing, never shrinking). The Sum getter
 * adds every value to *sum without clearing it first.
 */
VRQAPI_API int CreatePcfIntListAttr(MESSAGE* attr, int parameter, int count);
VRQAPI_API int IsPcfIntListAttr(MESSAGE* attr);
VRQAPI_API int GetPcfIntListAttrValue(MESSAGE* attr, int index, int* value);
VRQAPI_API int GetPcfIntListAttrValueSum(MESSAGE* attr, int* sum);
VRQAPI_API int GetPcfIntListAttrValueStr(MESSAGE* attr, char* out, int room);
VRQAPI_API int SetPcfIntListAttrValue(MESSAGE* attr, int index, int value);
VRQAPI_API int SetPcfIntListAttrValueStr(MESSAGE* attr, const char* text);
/* Resizes the list to count values (new values undefined until set). */
VRQAPI_API int SizePcfIntListAttr(MESSAGE* attr, int count);

/* MQCFIF (13): an integer filter (operator MQCFOP_*, value). */
VRQAPI_API int CreatePcfIntFltrAttr(MESSAGE* attr, int parameter, int op, int value);
VRQAPI_API int IsPcfIntFltrAttr(MESSAGE* attr);
VRQAPI_API int GetPcfIntFltrAttrValue(MESSAGE* attr, int* value, int* op);
VRQAPI_API int SetPcfIntFltrAttrValue(MESSAGE* attr, int value, int op);
/* The Operator word of any valid integer, string or byte-string filter. */
VRQAPI_API int GetPcfFilterOperator(MESSAGE* attr, int* op);

/*
 * MQCFST (4): a string. CreatePcfStrAttr takes text up to its zero byte,
 * CreatePcfNZStrAttr exactly n bytes (which may hold zero bytes). The getter copies
 * min(room, StringLength) bytes and a zero byte, so out must hold room + 1 bytes. The
 * setter writes into the existing room, zero-filling or cutting; lengths do not change.
 */
VRQAPI_API int CreatePcfStrAttr(MESSAGE* attr, int parameter, const char* text);
VRQAPI_API int CreatePcfNZStrAttr(MESSAGE* attr, int parameter, const char* bytes, int n);
VRQAPI_API int IsPcfStrAttr(MESSAGE* attr);
VRQAPI_API int GetPcfStrAttrValue(MESSAGE* attr, char* out, int room);
VRQAPI_API int SetPcfStrAttrValue(MESSAGE* attr, const char* text);

/*
 * MQCFSL (6): a list of Count strings of StringLength bytes each, created zero. The getter
 * copies min(room, StringLength) bytes of element index and a zero byte (room + 1 bytes).
 * SetPcfStrListAttrValueWithLen copies min(StringLength, length) bytes of text (a length
 * below 1 means up to its zero byte) and fills the rest of the element with fill; the
 * other two setters use the text's length with fill ' ' or the given fill.
 * FindPcfStrListAttrValue returns the first index whose element equals text (comparison
 * over StringLength bytes, stopping at a zero byte of either side), -1 when none.
 */
VRQAPI_API int CreatePcfStrListAttr(MESSAGE* attr, int parameter, int count, int stringLength);
VRQAPI_API int IsPcfStrListAttr(MESSAGE* attr);
VRQAPI_API int GetPcfStrListAttrValue(MESSAGE* attr, int index, char* out, int room);
VRQAPI_API int SetPcfStrListAttrValue(MESSAGE* attr, int index, const char* text);
VRQAPI_API int SetPcfStrListAttrValueWithFill(MESSAGE* attr, int index, const char* text, char fill);
VRQAPI_API int SetPcfStrListAttrValueWithLen(MESSAGE* attr, int index, const char* text, int length, char fill);
VRQAPI_API int SizePcfStrListAttr(MESSAGE* attr, int count);
VRQAPI_API int FindPcfStrListAttrValue(MESSAGE* attr, const char* text);

/* MQCFSF (14): a string filter; the getter writes min(room, FilterValueLength) bytes and a zero. */
VRQAPI_API int CreatePcfStrFltrAttr(MESSAGE* attr, int parameter, int op, const char* text);
VRQAPI_API int IsPcfStrFltrAttr(MESSAGE* attr);
VRQAPI_API int GetPcfStrFltrAttrValue(MESSAGE* attr, char* out, int room, int* op);
VRQAPI_API int SetPcfStrFltrAttrValue(MESSAGE* attr, const char* text, int op);

/*
 * MQCFBS (9): a byte string. The getter takes the room in *length and returns the number
 * of bytes copied there; the setter overwrites the start, lengths unchanged.
 */
VRQAPI_API int CreatePcfByteStrAttr(MESSAGE* attr, int parameter, const void* bytes, int length);
VRQAPI_API int IsPcfByteStrAttr(MESSAGE* attr);
VRQAPI_API int GetPcfByteStrAttrValue(MESSAGE* attr, void* out, int* length);
VRQAPI_API int GetPcfByteStrAttrValueLength(MESSAGE* attr, int* length);
VRQAPI_API int SetPcfByteStrAttrValue(MESSAGE* attr, const void* bytes, int length);

/* Type 997: a list of Count byte strings of StringLength bytes each, created zero. */
VRQAPI_API int CreatePcfByteStrListAttr(MESSAGE* attr, int parameter, int count, int stringLength);
VRQAPI_API int IsPcfByteStrListAttr(MESSAGE* attr);
VRQAPI_API int GetPcfByteStrListAttrValue(MESSAGE* attr, int index, void* out, int room);
VRQAPI_API int SetPcfByteStrListAttrValue(MESSAGE* attr, int index, const void* bytes, int length);
VRQAPI_API int SizePcfByteStrListAttr(MESSAGE* attr, int count);

/*
 * MQCFBF (15): a byte-string filter (operator, bytes). The getter takes the room in
 * *length, returns the count copied there and the operator in *op. IsPcfAttrValid has
 * no rule for this type, so these functions accept a record whose StrucLength is its
 * whole data length and holds the declared bytes; RawToPcf refuses the type.
 */
VRQAPI_API int CreatePcfByteStrFltrAttr(MESSAGE* attr, int parameter, const void* bytes, int length, int op);
VRQAPI_API int IsPcfByteStrFltrAttr(MESSAGE* attr);
VRQAPI_API int GetPcfByteStrFltrAttrValue(MESSAGE* attr, void* out, int* length, int* op);
VRQAPI_API int SetPcfByteStrFltrAttrValue(MESSAGE* attr, const void* bytes, int length, int op);

/*
 * Type 999: binary data. The getter also reads types 998 and 4 (same word positions) and 9;
 * it takes the room in *length and returns the count copied. The setter works on 999 only.
 */
VRQAPI_API int CreatePcfBinAttr(MESSAGE* attr, int parameter, const void* bytes, int length);
VRQAPI_API int IsPcfBinAttr(MESSAGE* attr);
VRQAPI_API int GetPcfBinAttrValue(MESSAGE* attr, void* out, int* length);
VRQAPI_API int SetPcfBinAttrValue(MESSAGE* attr, const void* bytes, int length);

/*
 * Type 998: the PCF bytes of another message. The getter resizes target and copies the
 * bytes to its data start; the caller re-indexes target with RawToPcf before reading it.
 */
VRQAPI_API int CreatePcfPcfAttr(MESSAGE* attr, int parameter, PcfMessage* source);
VRQAPI_API int IsPcfPcfAttr(MESSAGE* attr);
VRQAPI_API int GetPcfPcfAttrValue(MESSAGE* attr, PcfMessage* target);

/* MQCFIN64 (23): one 64-bit integer. */
VRQAPI_API int CreatePcfInt64Attr(MESSAGE* attr, int parameter, int64_t value);
VRQAPI_API int IsPcfInt64Attr(MESSAGE* attr);
VRQAPI_API int GetPcfInt64AttrValue(MESSAGE* attr, int64_t* value);
VRQAPI_API int SetPcfInt64AttrValue(MESSAGE* attr, int64_t value);

/* MQCFIL64 (25): a list of 64-bit integers, with the same operations as MQCFIL. */
VRQAPI_API int CreatePcfInt64ListAttr(MESSAGE* attr, int parameter, int count);
VRQAPI_API int IsPcfInt64ListAttr(MESSAGE* attr);
VRQAPI_API int GetPcfInt64ListAttrValue(MESSAGE* attr, int index, int64_t* value);
VRQAPI_API int GetPcfInt64ListAttrValueSum(MESSAGE* attr, int64_t* sum);
VRQAPI_API int GetPcfInt64ListAttrValueStr(MESSAGE* attr, char* out, int room);
VRQAPI_API int SetPcfInt64ListAttrValue(MESSAGE* attr, int index, int64_t value);
VRQAPI_API int SetPcfInt64ListAttrValueStr(MESSAGE* attr, const char* text);
VRQAPI_API int SizePcfInt64ListAttr(MESSAGE* attr, int count);

/*
 * MQCFGR (20): a group header (StrucLength 16) followed by its members. AppendAttrToGroup
 * appends a member's bytes (a member group with all of its own members) and counts it in
 * ParameterCount. GetGroupAttrByPos copies member position (0..ParameterCount-1) into out,
 * GetGroupAttrByID the first member with that Parameter word; a member group is copied
 * with its members. Both walk only the bytes the group record holds.
 */
VRQAPI_API int CreatePcfGroupAttr(MESSAGE* attr, int parameter);
VRQAPI_API int IsPcfGroupAttr(MESSAGE* attr);
VRQAPI_API int AppendAttrToGroup(MESSAGE* group, MESSAGE* attr);
VRQAPI_API int GetPcfGroupAttrCounter(MESSAGE* group, int* count);
VRQAPI_API int GetGroupAttrByPos(int position, MESSAGE* out, MESSAGE* group);
VRQAPI_API int GetGroupAttrByID(int parameter, MESSAGE* out, MESSAGE* group);

/* ---- end of PCF ATTRIBUTES ---- */

/* ==== PCF BYTE ORDER: AlienToNative and friends ==== */

/*
 * Bring a received MDHDR / MSHDRE into local form in place: the integer words are swapped
 * when the stored byte-order flag differs from the local one (1 on a big-endian machine),
 * and the text fields (ApplName and UserId / Author) converted when the text flag differs
 * from the local one (1 on an ASCII machine). The flags keep the writer's values. Return
 * VerifyMessage / VerifyMessageExt of the result; null or a record without a block gives 0.
 */
VRQAPI_API int AlienToNative(MESSAGE* msg);
VRQAPI_API int AlienToNativeExt(MSHDRE* ext);

/*
 * Converts the PCF bytes of a received message (its MDHDR already in local order) in
 * place by the header's flags, at most lUserMsgLength bytes and never more than the
 * message holds; then marks the header's lByteOrder as local (the text flag stays).
 * 0 for a null message or one without a block, else the result of the walk below.
 */
VRQAPI_API int AlienPcfToNative(PcfMessage* msg);

/*
 * Converts length bytes of PCF structures in place: swap set swaps every integer word
 * (filters and 64-bit values included), convert set converts every string with
 * TextConvert(direction). The walk covers the MQCFH and the structures it and its groups
 * announce, embedded PCF (type 998) included. An unknown Type is reported and stepped
 * over; a structure shorter than its fixed part or running past length is reported and
 * ends the walk. Text and list lengths are cut to their structure. Always returns 1.
 */
VRQAPI_API int AlienPcfBufferToNative(void* pBytes, int swap, int convert, int direction, int length);

/* ---- end of PCF BYTE ORDER ---- */

/* ==== PCF COMMAND BUILDER: BuildPcfCmd ==== */

/*
 * Completes a message that holds only its MQCFH into a request for the command in its
 * MQCFH, from one object name (or, for the escape commands, the command text) and one
 * integer: appends the parameters the command server needs (for inquiries a request
 * for all attributes) and re-indexes the message. Returns the result of the last append,
 * 1 for MQCMD_PING_Q_MGR and MQCMD_REFRESH_SECURITY (nothing appended), and 0 for a
 * command the builder does not know or a null message.
 */
VRQAPI_API int BuildPcfCmd(PcfMessage* msg, const char* name, int value);

/* ---- end of PCF COMMAND BUILDER ---- */

/* ==== PCF PRINTING: PrintPcfMessage, dumps ==== */

/*
 * Lists a PCF message on standard output: a "Date:" line, the header extension and one
 * block per indexed structure (positions 0, 1, ... through GetAttrByPos). When a
 * structure cannot be printed the listing stops and the whole message is dumped with
 * DumpPcfMessage. 1, or 0 for a null message or when no work record can be had.
 */
VRQAPI_API int PrintPcfMessage(PcfMessage* msg);
/* Prints the MSHDRE block (Author up to 12 characters). 0 for null, else 1. */
VRQAPI_API int PrintPcfExt(MSHDRE* ext);
/*
 * Prints an empty line and the block of the structure held by attr (groups with their
 * members, values cut to 1024 bytes). A structure of an unknown Type, or one that fails
 * IsPcfAttrValid, gets the line "UNKNOWN PCF Attribute(<type>): unable to print" and 0.
 */
VRQAPI_API int PrintPcfAttr(MESSAGE* attr);
/* Raw dump of a PCF message: its lengths, reply-to queue manager, MQCFH fields (when at
 * least 36 bytes are held) and a hex listing of the bytes it holds. 1 (0 for null). */
VRQAPI_API int DumpPcfMessage(PcfMessage* msg);
/* Hex listing of length bytes, 16 a line with a character column after each full line.
 * Returns the result of fflush(stdout), i.e. 0 on success. */
VRQAPI_API int DumpHexMessage(const void* pBytes, int lLength);

/* ---- end of PCF PRINTING ---- */

/* ==== SORTING: ArrayHeapSort, SortPcfListAttr, AuthRecSort ==== */

/*
 * Sorts count records of elementSize bytes at base into ascending byte-wise (memcmp)
 * order, in place and not stably. 0 without touching anything when elementSize exceeds
 * 257, else 1.
 */
VRQAPI_API int ArrayHeapSort(void* base, size_t count, unsigned elementSize);
/* Sorts the strings of a valid string-list attribute (MQCFSL) with ArrayHeapSort; 1 (also
 * when the strings are too long to sort), 0 for an invalid attribute or another type. */
VRQAPI_API int SortPcfListAttr(MESSAGE* attr);

/* Authority records gathered into four parallel lists: position k of each list belongs
 * to record k; the number of records is the Count of pName1. The lists stay the caller's. */
typedef struct AuthRecLists {
  MESSAGE* pKey1;       /* integer list (MQCFIL) */
  MESSAGE* pName1;      /* string list (MQCFSL), names of up to 48 characters */
  MESSAGE* pName2;      /* string list, names of up to 64 characters */
  MESSAGE* pKey2;       /* integer list */
  char     szSelf[49];  /* the name that stands for a pName1 entry beginning "SELF " */
} AuthRecLists;

/*
 * Sorts the records by pKey1, then pName1 (with SELF replaced by szSelf), then pKey2,
 * then pName2, without moving them: *order receives an array of the positions in sorted
 * order (tracked memory, "AuthRecSort INDICES"; release it with FreeMemory). Returns the
 * number of records, or 0 (with *order null) when there are none or memory runs out.
 */
VRQAPI_API int AuthRecSort(AuthRecLists* lists, int** order);
/* 1 when record a sorts before record b in the order of AuthRecSort, else 0. */
VRQAPI_API int CompareAuthRecLessThen(AuthRecLists* lists, int a, int b);

/* ---- end of SORTING ---- */

/* ==== TEXT CONVERSION: TextConvert, local flags, byte reversal, scrambling, hex text, string helpers ==== */

/* Converts ulByteCount bytes from szSrc into szDest (which may be the same area):
 * iDirection 0 ASCII to EBCDIC, 1 EBCDIC to ASCII. ASCII bytes above 127 become the EBCDIC
 * substitute 0x3F; EBCDIC bytes without an ASCII entry become 0. Returns ulByteCount, or 0
 * (with a printed error) for a null pointer or a negative count, and 0 for another
 * direction. */
VRQAPI_API int TextConvert(const void* szSrc, void* szDest, int ulByteCount, int iDirection);
/* 1: this build's text is ASCII. */
VRQAPI_API int IsAscText(void);
/* 1 on a little-endian machine (tested at run time), else 0; IsBgEndian the opposite. */
VRQAPI_API int IsLtEndian(void);
VRQAPI_API int IsBgEndian(void);
/* 1 when lCcsid is one of the EBCDIC coded character set identifiers known here. */
VRQAPI_API int IsEbcdicCodePage(int lCcsid);
/* Scans at most lLength bytes: 1 at the first byte with the high bit set, 0 at the first
 * byte below 128 with no EBCDIC-to-ASCII entry, 0 at the end. */
VRQAPI_API int IsEbcdicCharSet(const void* pBytes, int lLength);

/* Byte reversal: bwbyte exchanges the two halves of a byte (0x12 -> 0x21); the others
 * reverse the bytes of a 16-, 32- or 64-bit value. */
VRQAPI_API uint8_t bwbyte(uint8_t b);
VRQAPI_API uint16_t bwshort(uint16_t v);
VRQAPI_API uint32_t bwlong(uint32_t v);
VRQAPI_API uint64_t bwint64(uint64_t v);

/* Scramble / unscramble lLength bytes in place under a 32-bit key; DecryptMsg undoes
 * EncryptMsg for the same key. 1, or 0 for a negative length or null data. */
VRQAPI_API int EncryptMsg(void* pData, int lLength, uint32_t ulKey);
VRQAPI_API int DecryptMsg(void* pData, int lLength, uint32_t ulKey);
/* The value whose four bytes, in memory order, have been unscrambled by DecryptMsg. */
VRQAPI_API uint32_t DecryptLong(uint32_t ulValue, uint32_t ulKey);

/* 24 or 32 bytes as 48 or 64 upper-case hexadecimal digits plus a terminator (szText
 * holds 49 or 65 bytes), and back (either case accepted). Reading returns 0 and writes
 * nothing when a character is not a hexadecimal digit; null pointers give 0. */
VRQAPI_API int ConvertByte24ToText48(const unsigned char* pBytes, char* szText);
VRQAPI_API int ConvertByte32ToText64(const unsigned char* pBytes, char* szText);
VRQAPI_API int ConvertText48ToByte24(const char* szText, unsigned char* pBytes);
VRQAPI_API int ConvertText64ToByte32(const char* szText, unsigned char* pBytes);

/* In-place string helpers; each returns its text (null for null). strip_spaces cuts at
 * the first blank, trim_str removes trailing blanks only. pad_spaces pads with blanks to
 * lWidth characters and terminates at lWidth (a longer text is cut; szText must hold
 * lWidth + 1 bytes) and returns the position of the terminator. */
VRQAPI_API char* strupper(char* szText);
VRQAPI_API char* strip_spaces(char* szText);
VRQAPI_API char* trim_str(char* szText);
VRQAPI_API char* pad_spaces(char* szText, int lWidth);
VRQAPI_API char* str_replace_char(char* szText, char cFrom, char cTo);

/* ---- end of TEXT CONVERSION ---- */

/* ==== LOGGING AND PATHS: LOGMSG, hex dumps, paths, installation directory ==== */


/* Writes one log entry (an empty line, "Date: " with the local date, and "VRQ" followed
 * by text) to standard output and flushes it; returns fflush's result (0 when written).
 * level is 1 by convention and changes nothing. Text beyond 987 characters is cut. */
VRQAPI_API int LOGMSG(const char* text, int level);
/* Reopens standard output on path in append mode; the stream, or null when it fails. */
VRQAPI_API FILE* VrqApiSetLogFile(const char* path);
/* Assertion: when condition is 0, logs "0105E  Assertion failed in <file> at line <n>:
 * <expression>" and aborts unless cont is non-zero. */
VRQAPI_API void debug(int condition, const char* expression, int cont, const char* file, int line);
#if !defined(_WIN32)
/* Copies the real user's login name (at most min(*size, 12) characters) into buffer,
 * which is cleared for *size bytes; *size becomes the copied length. 0 when the user has
 * no password entry (*size 0). A *size of 12 or less leaves no room for a terminator:
 * the name is then cut to *size - 1 characters so the result is always terminated. */
VRQAPI_API int GetUserName(char* buffer, int* size);
#endif
/* Appends the separator to a non-empty path that does not end with one. 1. */
VRQAPI_API int vrqTerminatePath(char* path);
/* Terminates a non-empty path, then appends name when it is not null. 1. */
VRQAPI_API int vrqMakePath(char* path, const char* name);
/* Puts a non-empty path between double quotes in place (the buffer needs two more
 * bytes). A path over 1033 characters is refused: 0 and unchanged. Otherwise 1. */
VRQAPI_API int vrqUseLongNames(char* path);
/* Size of an open stream, its position kept. 1 when the size fits a signed 32-bit count. */
VRQAPI_API int SizeOfFile(FILE* stream, MQLONG* size);
/* Size of a named file. 1 when it could be read and fits a signed 32-bit count. */
VRQAPI_API int SizeOfFileByName(const char* path, MQLONG* size);
/* Fills buffer (at least 512 bytes) with the installation directory: VXWMQ_HOME when set
 * (result 1), else the parent of the working directory, else the default (result 0). */
VRQAPI_API int vrqGetInstallDir(char* buffer);
/* Fills buffer with <install dir>/config/groups/<file_name>. 1. */
VRQAPI_API int vrqMakeIniFilePath(char* buffer, const char* file_name);

/* Two lines per row of perRow bytes: the characters ("%-2c", "." for unprintable) and the
 * bytes ("%02X"); lines after the first are indented by indent blanks. */
VRQAPI_API void PrintHexFile(FILE* stream, const void* data, int length, int perRow, int indent);
/* As PrintHexFile on standard output, the first line indented too. */
VRQAPI_API void PrintHex(const void* data, int length, int perRow, int indent);
/* One line per row: prefix, the offset "%08X:  ", the characters and the bytes (bytes
 * first when charsFirst is 0), each item followed by separator, four blanks between the
 * groups; a short last row is padded so the second group lines up. */
VRQAPI_API void PrintFormattedHexData(const void* data, int length, int perRow, const char* separator,
                                      const char* firstPrefix, const char* laterPrefix,
                                      int charsFirst, FILE* stream);
/* PrintFormattedHexData with 16 bytes a row, one blank, empty prefixes, characters first. */
VRQAPI_API void PrintHexData(const void* data, int length, FILE* stream);
/* The bytes ("%02X") of data, each followed by separator, on the current line. */
VRQAPI_API void PrintHexBytes(const void* data, int length, const char* separator, FILE* stream);
/* The characters ("%c", "." for unprintable) of data, each followed by separator. */
VRQAPI_API void PrintHexChars(const void* data, int length, const char* separator, FILE* stream);

/* ---- end of LOGGING AND PATHS ---- */

/* ==== INI AND PERMISSION FILES: ini handles, lookups, workgroups, GetRcText ==== */

/* Sizes of the ini and permission records. A token (a key) holds at most VRQ_INI_TOKEN_MAX
 * characters and every value output of a lookup must have room for VRQ_INI_VALUE_SIZE bytes:
 * longer keys and values are cut there. Error texts need VRQ_INI_ERRTEXT_SIZE bytes. */
#define VRQ_INI_DELIM_MAX     32
#define VRQ_INI_PATH_MAX      1031
#define VRQ_PERM_PATH_MAX     1023
#define VRQ_PERM_HEADER_MAX   79
#define VRQ_INI_TOKEN_MAX     2048
#define VRQ_INI_VALUE_SIZE    (VRQ_INI_TOKEN_MAX + 1)
#define VRQ_INI_ERRTEXT_SIZE  1280
#define VRQ_WORKGROUP_TARGETS 14

/* An ini file loaded whole into memory and scanned key by key. Owned by the caller (usually
 * a local); cleared by open and close. The text is tracked memory with tag "VrqIni". */
typedef struct IniFile {
  FILE*    pStream;                          /* open only while loading */
  uint32_t ulSize;                           /* text bytes loaded */
  int32_t  lPos;                             /* where the next scan starts */
  char     szKeyDelim[VRQ_INI_DELIM_MAX + 1];
  char     szValueTerm[VRQ_INI_DELIM_MAX + 1];
  char*    pText;                            /* ulSize bytes + terminator, or null */
  char     szPath[VRQ_INI_PATH_MAX + 1];
  int32_t  lOpenErrno;                       /* errno right after the open attempt */
} IniFile;

/* A permission file whose lines are sorted at load time into four sections, each a
 * terminated text of lLength bytes (null and 0 when the file had no such lines). */
typedef struct PermSection {
  char*   pText;
  int32_t lLength;
} PermSection;

typedef struct PermFile {
  FILE*       pStream;                       /* open only while loading */
  char        szKeyDelim[VRQ_INI_DELIM_MAX + 1];
  char        szValueTerm[VRQ_INI_DELIM_MAX + 1];
  char        szPath[VRQ_PERM_PATH_MAX + 1];
  char        szHeader[VRQ_PERM_HEADER_MAX + 1]; /* first line, without its line end */
  PermSection Effective;                     /* lines beginning "Effecti" (any case) */
  PermSection UserAuth;                      /* "UserAut" */
  PermSection Audit;                         /* "Audit::" */
  PermSection Trust;                         /* "TRUST::" */
} PermFile;

/* Clears the handle and loads file into it, from the configuration directory
 * (vrqMakeIniFilePath) when useInstallDir is non-zero. Returns 1 when loaded; on failure
 * the handle is cleared and errText (optional, VRQ_INI_ERRTEXT_SIZE bytes) says why. */
VRQAPI_API int vrqOpenIniFile(const char* file, const char* keyDelims, const char* valueTerms,
                              IniFile* handle, char* errText, int useInstallDir);
/* The same for a permission file. */
VRQAPI_API int vrqOpenPermFile(const char* file, const char* keyDelims, const char* valueTerms,
                               PermFile* handle, char* errText, int useInstallDir);
/* The loaders behind the two open functions; path is used as given. A path longer than the
 * handle's path field is refused like a file that cannot be opened. */
VRQAPI_API int vrqLoadFile(const char* path, const char* keyDelims, const char* valueTerms,
                           IniFile* handle, char* errText);
VRQAPI_API int vrqLoadPermFile(const char* path, const char* keyDelims, const char* valueTerms,
                               PermFile* handle, char* errText);
/* Release the loaded text(s) and clear the handle. Return 1. */
VRQAPI_API int vrqCloseIniFile(IniFile* handle);
VRQAPI_API int vrqClosePermFile(PermFile* handle);
/* Sets the scan position and returns it. An offset outside the loaded text (or a failed
 * seek of a still open stream) keeps the old position, which is returned. */
VRQAPI_API int32_t vrqResetPos(IniFile* handle, int32_t offset);

/* Lookups on a loaded ini handle: fromStart 1 scans from the start of the text, any other
 * value continues where the last lookup on the handle stopped, so repeated calls enumerate
 * every match. Return 1 when a value was written to value (VRQ_INI_VALUE_SIZE bytes). */
/* keyMask (IsMaskMatch wildcards) against each token; the value follows the key delimiter. */
VRQAPI_API int vrqGetValue(IniFile* handle, const char* keyMask, char* value, int fromStart);
/* Two-way mask match between key and token; the value follows the next "=". */
VRQAPI_API int vrqGetValueExt(IniFile* handle, const char* key, char* value, int fromStart);
/* The next key that is not a comment (into key, VRQ_INI_VALUE_SIZE bytes) and its value. */
VRQAPI_API int vrqGetKeyAndValue(IniFile* handle, char* key, char* value, int fromStart);
/* Permit lookup: each token is a permit mask for key; delivers the one character after the
 * token's delimiter. The scan position is *position, not the handle's. */
VRQAPI_API int vrqGetValueExtExt(IniFile* handle, const char* key, char* value, int fromStart,
                                 int32_t* position);

/* Lookups on a plain terminated text (for example one permission section). */
/* Two-way mask match, value after "="; always scans from the start of text. */
VRQAPI_API int vrqGetValueExt2(const char* text, const char* ignored, const char* keyDelims,
                               const char* valueTerms, const char* key, char* value,
                               int fromStart);
/* Two-way IsRegExpMatch (case-sensitive), value after "="; *position is updated. */
VRQAPI_API int vrqGetValuePermits(const char* text, const char* keyDelims,
                                  const char* valueTerms, const char* key, char* value,
                                  int fromStart, int32_t* position);
/* IsPermitMaskMatch(token, key), value right after the token's delimiter. */
VRQAPI_API int vrqGetValueExtExt2(const char* text, const char* keyDelims,
                                  const char* valueTerms, const char* key, char* value,
                                  int fromStart, int32_t* position);

/* Line helpers: the number of line feeds (0 for null); the start of line n counted from 1
 * (the start for n <= 1, the last line's start when the text is shorter, null for null). */
VRQAPI_API int32_t vrqLineCount(const char* text);
VRQAPI_API const char* vrqGoToLine(const char* text, int32_t n);
/* 1 when ch occurs in the terminated set (the terminator is never a member). */
VRQAPI_LINUX_API int vrqIsMember(int ch, const char* set);
/* Reads one token from text into token (VRQ_INI_VALUE_SIZE bytes; longer tokens are cut
 * but consumed whole) and sets *consumed to the characters it used. Returns 0 with an
 * empty token when text is empty, else 1. "#" starts a comment that runs to its line end. */
VRQAPI_LINUX_API int vrqGetToken(char* token, const char* text, const char* delimiters,
                                 int32_t* consumed);

/* Resolves workGroup through "mqgroup.ini". targets holds VRQ_WORKGROUP_TARGETS optional
 * buffers (VRQ_INI_VALUE_SIZE bytes each): group name, Node, Service, ZRQDSNode, ZRQDSPort,
 * DBDSN, DBUser, DBPwd, DBSchema, DBPSchema, QW7DBDSN, QW7DBUser, QW7DBPwd, QW7DBSchema.
 * Returns 1 when the group and every requested one of the first four attributes were found;
 * otherwise errText (optional) says what could not be resolved. */
VRQAPI_API int vrqResolveWorkgroup(const char* workGroup, char* const* targets, char* errText);

/* The text of a reason code from "vrqrc.ini" (up to its first colon), or
 * "unknown reason code". Valid until the next call. */
VRQAPI_API const char* GetRcText(int32_t reason);


/* ---- end of INI AND PERMISSION FILES ---- */

/* ==== MASKS: IsMaskMatch, IsMaskMatchIgnoreCase, IsRegExpMatch, IsPermitMaskMatch ==== */


/* Simple mask: "*" only, first fit without backtracking, a name may be followed by
 * blanks. 1 match, 0 not. */
VRQAPI_API int IsMaskMatch(const char* mask, const char* name);
/* As IsMaskMatch with letters compared in upper case. */
VRQAPI_API int IsMaskMatchIgnoreCase(const char* mask, const char* name);
/* Expression match: "*", "?" and classes "[a-z]" / "[^x]"; ignoreCase non-zero compares
 * in upper case. Work is bounded (no exponential backtracking). */
VRQAPI_API int IsRegExpMatch(const char* pattern, const char* name, int ignoreCase);
/* Permit mask: "*", or a mask starting with "UserAuthority" or "Audit" compared element
 * by element with key. Texts beyond 2057 characters are cut. */
VRQAPI_API int IsPermitMaskMatch(const char* mask, const char* key);
/* The permit comparison after the "*" shortcut: heads, then tails at the last backslash. */
VRQAPI_LINUX_API int CompareMaskToKey(const char* mask, const char* key);
/* Element-wise comparison (elements split at ':', '\\' and blank, at most 10 of at most
 * 79 characters each side; longer ones are cut); stores and returns 1 match / 0 not. */
VRQAPI_API int CompareMaskTokensWithKeyTokens(const char* mask, const char* key, int* result);
/* Matches one element against a pattern with "*" and "?". */
VRQAPI_LINUX_API int strPatternMatch(const char* pattern, const char* element);
/* At a "*" in *pattern: copies the literal run after it into work (at least 80 bytes,
 * the run cut to 79) and moves *element past the last occurrence of the run in the
 * element's value part and *pattern past the run. 1 when the run occurs, else 0. */
VRQAPI_LINUX_API int strLastSubMask(const char** pattern, const char** element, char* work);
/* Moves *position to the first character of text that is in delimiters and returns 1;
 * 0 and unchanged when there is none. */
VRQAPI_LINUX_API int strPushPastDelim(const char** position, const char* delimiters);

/* ---- end of MASKS ---- */

/* ==== MQSC TABLES: command, keyword, value and rule tables ==== */

/*
 * The tables that drive the MQSC translation both ways. A keyword entry describes a
 * command (type 0), an MQSC keyword with its PCF parameter (types 1 to 7) or an enumerated
 * value (its id is the MQ constant). Entries double as working storage: a translation sets
 * lSet and value, and clears them as each entry is written out, so one translation runs at a
 * time per process.
 */
#define MQSC_TYPE_COMMAND   0
#define MQSC_TYPE_FLAG      1
#define MQSC_TYPE_INT       2
#define MQSC_TYPE_STR       3
#define MQSC_TYPE_STRLIST   4
#define MQSC_TYPE_ENUM      5
#define MQSC_TYPE_ENUMLIST  6
#define MQSC_TYPE_INTLIST   7

#define MQSC_RULE_OPTIONAL  0
#define MQSC_RULE_REQUIRED  1
#define MQSC_RULE_END       2

struct MQSCRULE;

typedef struct MQSCKEY {
  int32_t lType;                 /* MQSC_TYPE_* */
  int64_t lId;                   /* command code, PCF parameter, or the value's constant */
  const char* pszKeyword;        /* command text, keyword or value name; "" when the value stands alone */
  struct MQSCRULE* pRule;        /* a command's rule table, else null */
  int32_t lSet;                  /* 1 while the entry holds a value of the translation under way */
  struct MQSCKEY** ppValues;     /* value table (types 5 and 6), null-terminated */
  union {
    char* psz;                   /* owned string (types 0, 3, 4, 6, 7) */
    int32_t l;                   /* integer (type 2) */
    struct MQSCKEY* pKey;        /* chosen value entry (type 5) */
  } value;
  int64_t lPlatforms;            /* bit n set for MQPL value n; -1 all */
  int32_t lLevel;                /* lowest command level that knows the entry */
} MQSCKEY;

/* One row of a command's rule table (56 bytes); a row of kind MQSC_RULE_END ends it. */
typedef struct MQSCRULE {
  int32_t lKind;                 /* MQSC_RULE_* */
  int32_t lWithValue;            /* 1 value written, 2 keyword only (DISPLAY selectors) */
  int64_t lWithKeyword;          /* 1 keyword written, 2 value only */
  MQSCKEY* pEntry;               /* row 0: the command's own entry */
  const char* pszFormat;         /* "(%s)", "('%s')", "(%d)", "%s" or "" */
  int64_t lJoiner;               /* written before the next token: ' ' or '*' for nothing */
  int64_t lPlatforms;
  int32_t lLevel;
} MQSCRULE;

/* A z/OS response message id with the completion code and reason it reports. */
typedef struct MQSCRC {
  const char* pszMsgId;          /* null in the terminating row */
  int32_t lCompCode;
  int32_t lReason;
} MQSCRC;

/* Response message-id prefixes (matched on three characters) and their id tables. */
typedef struct MQSCMASTER {
  const char* pszPrefix;         /* null in the terminating row */
  const MQSCRC* pTable;          /* null when the prefix reports nothing */
} MQSCMASTER;

/* The command table (escape command first), null-terminated; the other table symbols
 * (Mqcmd*, rMqcmd*, Mqa*, Mqt*, Mqp*) are exported from the library as well. */
VRQAPI_LINUX_API extern MQSCKEY* MqCmdTbl[];
VRQAPI_LINUX_API extern const MQSCMASTER MasterTbl[];
VRQAPI_LINUX_API extern const MQSCRC CSQRc[];

/* Returns MqCmdTbl. */
VRQAPI_API MQSCKEY** GetCmdTbl(void);

/* The first entry of a null-terminated entry table whose id equals key (mode 1, key points
 * to a 32-bit integer) or whose keyword equals the text key (mode 2); null otherwise. */
VRQAPI_LINUX_API MQSCKEY* tblSearch(MQSCKEY** table, int mode, const void* key);

/* In a rule table, the first row's entry whose id equals the integer key (mode 1), or
 * (mode 2) whose keyword equals the text key or, for an entry without keyword (its values
 * stand alone in MQSC), whose value table holds that name. */
VRQAPI_LINUX_API MQSCKEY* cmdSearch(MQSCRULE* rule, int mode, const void* key);

/* Keeps a value in the entry by its type (see the keyword entry) and marks nothing: types 0
 * and 3 copy length characters, 4, 6 and 7 at most length characters of a terminated text,
 * 2 the integer data points to, 5 the value entry data; 1 keeps nothing. 0 for other types. */
VRQAPI_LINUX_API int tblSetValue(MQSCKEY* entry, const void* data, int length);

/* Hands the kept value out: strings are copied to out (room at least the kept length + 1;
 * "''" when none) and released, type 2 writes an int32_t, type 5 a copy of the value entry
 * (an MQSCKEY). Returns 1, or 0 for other types. */
VRQAPI_LINUX_API int tblGetValue(MQSCKEY* entry, void* out);

/* The id table for the first three characters of a response message id; null when none. */
VRQAPI_LINUX_API const MQSCRC* GetTable(const char* msgid);

/* The completion code and reason of the response message id kept as the command entry's
 * value; 0 and 0 for an unknown id. Returns 1. */
VRQAPI_LINUX_API int MqscRcToPcf(MQSCKEY* command, MQLONG* compcode, MQLONG* reason);

/* ---- end of MQSC TABLES ---- */

/* ==== MQI PRINTERS: PrintMQMD and the constant-name maps ==== */

/* Field-by-field listings of MQI structures: a title line with the structure's size, then
 * one line per field ("     [offset]  name - value", integers with their hexadecimal form
 * or the name of their value, byte fields as hex rows), then the stream is flushed.
 * Return 1, or 0 (nothing printed) when the structure or the stream is null. */
VRQAPI_API int PrintMQOD(const MQOD* od, FILE* stream);
VRQAPI_API int PrintMQMD(const MQMD* md, FILE* stream);
/* PrintMQMD with the arguments the other way round. */
VRQAPI_API int PrintMQMDFile(FILE* stream, const MQMD* md);
VRQAPI_API int PrintPMO(const MQPMO* pmo, FILE* stream);
VRQAPI_API int PrintGMO(const MQGMO* gmo, FILE* stream);
/* The API-exit parameter (MQAXP) and context (MQAXC) records of cmqxc.h. */
VRQAPI_API int PrintMQAxpInfo(FILE* stream, const MQAXP* axp);
VRQAPI_API int PrintMQAxcInfo(FILE* stream, const MQAXC* axc);

/* Room a value-name map needs in its out buffer. */
#define VRQ_MQ_VALUE_NAME_SIZE 64

/* Maps from an MQ constant value to its display name. Each writes the name into out
 * (VRQ_MQ_VALUE_NAME_SIZE bytes) and returns out (null for a null out); a value without a
 * name is written as its decimal number unless said otherwise. */
/* 1 REQUEST, 2 REPLY, 4 REPORT, 8 DATAGRAM. */
VRQAPI_API char* MsgType(MQLONG value, char* out);
/* 0 NONE, otherwise the number. */
VRQAPI_API char* Report(MQLONG value, char* out);
/* The MQFB name without "MQFB_" and with blanks for underscores ("COA", "CHANNEL
 * COMPLETED"); the IMS range bounds 301 and 399 and unnamed values give "RC <value>". */
VRQAPI_API char* Feedback(MQLONG value, char* out);
/* Application types: -1 UNKNOWN, 0 NO CONTEXT, 6 UNIX, 11 WINNT, 28 JAVA, ... */
VRQAPI_API char* PutApplType(MQLONG value, char* out);
/* The MQOT constant name; a value without one gives "UNKNOWN VALUE <value>". */
VRQAPI_API char* MqObjTypeStr(MQLONG value, char* out);
/* The MQPER constant name, else "UNKNOWN". */
VRQAPI_API char* PersistanceType(MQLONG value, char* out);
/* MQXT, MQXR, MQXCC and MQXR2 constant names of the exit records. */
VRQAPI_API char* MapExitId(MQLONG value, char* out);
VRQAPI_API char* MapExitReason(MQLONG value, char* out);
VRQAPI_API char* MapExitResponse(MQLONG value, char* out);
VRQAPI_API char* MapExitResponse2(MQLONG value, char* out);
/* MQXACT_EXTERNAL or MQXACT_INTERNAL. */
VRQAPI_API char* APICallerType(MQLONG value, char* out);
/* The full MQFB constant name ("MQFB_COA", "MQFB_IMS_FIRST"). */
VRQAPI_API char* MapFeedback(MQLONG value, char* out);
/* The MQRC constant name of a reason code ("MQRC_UNKNOWN_OBJECT_NAME"). */
VRQAPI_API char* MapReason(MQLONG value, char* out);
/* The MQI call of an API-exit function identifier ("MQCONN", "MQPUT1", "MQCALLBACK"). */
VRQAPI_API char* MapFunctionId(MQLONG value, char* out);
/* Channel types: SENDER, SERVER, RECEIVER, REQUESTER, CLNTCONN, SVRCONN, CLUSRCVR, CLUSSDR. */
VRQAPI_API char* MapChannelType(MQLONG value, char* out);
/* The MQXE constant name of an exit environment. */
VRQAPI_API char* MapEnvironment(MQLONG value, char* out);
/* Constant texts: the MQMT name ("MQMT_UNKNOWN" when none) and the short object-type name
 * ("QUEUE", "QMGR", ...; "UNKNOWN" when none). */
VRQAPI_API const char* MapMsgType(MQLONG value);
VRQAPI_API const char* MapObjType(MQLONG value);

/* IBM's name of an MQ constant value, from IBM's value-to-name functions (cmqstrc.h):
 * family is the names' prefix without its underscore ("MQRC", "MQFB", "MQCMD", "MQMT",
 * "MQOT", "MQCC", "MQXR", "MQIA", "MQCACF", ...). MqValueName("MQRC", 2085) is
 * "MQRC_UNKNOWN_OBJECT_NAME"; a value IBM does not name, a family the toolkit does not carry
 * and a null family give null. The names are static strings. Code that prints MQ value
 * names asks this function rather than including cmqstrc.h, which a program may include
 * in one translation unit only. */
VRQAPI_API const char* MqValueName(const char* family, MQLONG value);

/* ---- end of MQI PRINTERS ---- */

/* ==== PCF TO MQSC: vrqPcf2Mqsc ==== */

#include <time.h> /* time_t */

/* Translation codes of the MQSC translation (reason; status is 2 whenever one is set). */
#define MQSC_RC_BAD_TYPE        5001  /* a structure or entry of a type that cannot be translated */
#define MQSC_RC_NOT_FOUND       5002  /* no status message id, unknown command or value name */
#define MQSC_RC_NO_ROOM         5003  /* the result does not fit the message */
#define MQSC_RC_NO_RULE         5004  /* the command has no rule table */
#define MQSC_RC_MISSING         5005  /* a required parameter is missing */
#define MQSC_RC_FREE_FORM       5007  /* a free-form z/OS response line without the expected words */
#define MQSC_RC_NO_KEYWORD      5008  /* a parameter the command's MQSC form has no keyword for */

/* A text area being written: pText holds lLength characters of room lCapacity. */
typedef struct MQSCTEXT {
  char* pText;
  MQLONG lCapacity;
  MQLONG lLength;
} MQSCTEXT;

/*
 * Translates the PCF command in pcf into MQSC text in the data area of text (its capacity
 * is the allocated length less the 136-byte header). continuation non-zero breaks the
 * text into lines with MQSC continuation characters from the fourth token on. *status is 2
 * until success, then 0; *reason 0, a translation code or an MQ reason (3054 escape type
 * not MQSC, 3019 escape text missing); *count the position of the structure at which a
 * failure happened. On success the text's used length is 136 plus the text length. The
 * text's Format becomes "MQSTR   " either way. Returns *reason.
 */
VRQAPI_API MQLONG vrqPcf2Mqsc(PcfMessage* pcf, PcfMessage* text, int continuation,
                              MQLONG* status, MQLONG* reason, MQLONG* count);

/* Walks length bytes of PCF (the MQCFH and its parameters), keeps the parameters in the
 * command's entries and writes the text. Returns 1, or 0 with *reason and *count set. */
VRQAPI_API int PcfToMqsc(const void* pcf, MQLONG length, MQSCTEXT* out, int continuation,
                         MQLONG* reason, MQLONG* count);

/* One structure each: keep its value in the entry of the current rule table (the MQCFH
 * selects that table). Each returns 1, or 0 with *reason set. The structure must be whole. */
VRQAPI_API int MqcfhToMqsc(const MQCFH* cfh, MQLONG* reason);
VRQAPI_API int MqcfinToMqsc(const MQCFIN* cfin, MQLONG* reason);
VRQAPI_API int MqcfstToMqsc(const MQCFST* cfst, MQLONG* reason);
VRQAPI_API int MqcfslToMqsc(const MQCFSL* cfsl, MQLONG* reason);
VRQAPI_API int MqcfilToMqsc(const MQCFIL* cfil, MQLONG* reason);
/* Joins the strings of a string list as 'a', 'b' (each cut at 48 characters and at its
 * first blank, empty ones left out) into out of room bytes; returns the number joined. */
VRQAPI_API int StrListToMqsc(const MQCFSL* cfsl, char* out, MQLONG room);

/* Writes the command's text from its rule table and the entries set. 1, or 0 with *reason
 * (5002 unknown command, 5004 no rule table, 5005 required entry missing, 5003 no room). */
VRQAPI_API int EmitMqscMsg(MQSCKEY* command, MQSCTEXT* out, int continuation, MQLONG* reason);

/* Writes one rule row's token (keyword and/or value by the row's flags) into out, replacing
 * what it held. 1, or 0 with *reason (5002 value cannot be fetched, 5003 no room). */
VRQAPI_API int EmitMqscToken(MQSCRULE* row, MQSCTEXT* out, int continuation, MQLONG* reason);

/* Neutralises (structure type 0) every queue-type parameter of value 1001 (all types) in
 * Inquire Queue and Inquire Queue Names, so that no type restriction is written. */
VRQAPI_API int PcfCorrection(PcfMessage* pcf);

/* Writes the MQSC name of a PCF filter operator and one blank ("GE ") into out (room for
 * 5 bytes); an operator MQSC has no name for gives "". Returns out. */
VRQAPI_API char* ConvertOpStr(MQLONG op, char* out);

/*
 * 1 when the object described by the PCF response was altered at or after the discovery
 * start (local time), 0 when before; 1 when the response, start or queue manager is
 * missing, or the response has no alteration date or time. debug non-zero prints the
 * reasoning to standard output.
 */
VRQAPI_API int IsAlterDateRecent2(time_t discoveryStart, PcfMessage* response,
                                  const char* qmgr, int debug);

/* ---- end of PCF TO MQSC ---- */

/* ==== MQSC TO PCF: vrqMqsc2Pcf ==== */

/* The system's own parameters of the free-form z/OS responses. */
#define MQSC_LOG_DEALLCT_CURRENT   20635
#define MQSC_LOG_DEALLCT_INITIAL   20636
#define MQSC_LOG_MAXRTU_CURRENT    20637
#define MQSC_LOG_MAXRTU_INITIAL    20638
#define MQSC_ARCH_VOLUME           20905
#define MQSC_ARCH_STATE            20906
#define MQSC_ARCH_FIELD3           20907
#define MQSC_ARCH_FIELD4           20908
#define MQSC_ARCH_FIELD5           20909
#define MQSC_GROUP_NAME            20910
#define MQSC_GROUP_MEMBER_FIRST    20911  /* 20911 to 20917: the member table's columns */
#define MQSC_GROUP_ENTRY_FIRST     20918  /* 20918 to 20923: the second table's columns */

/*
 * Translates the MQSC response held in the data area of text into the PCF response pcf,
 * which the caller created with the command code of the request (its MQCFH Command
 * selects the translation). *status 0 on success, 2 on failure with *reason a translation
 * code; *count the number of keywords recognised. The text is changed in place (terminator
 * bytes inside it become blanks). Returns *reason.
 */
VRQAPI_API MQLONG vrqMqsc2Pcf(PcfMessage* text, PcfMessage* pcf, MQLONG* status,
                              MQLONG* reason, MQLONG* count);

/* The general translation of a terminated response text for command into pcf. 1, or 0
 * with *reason set; *count keywords recognised. text is tokenized in place. */
VRQAPI_API int MqscToPcf(char* text, PcfMessage* pcf, MQLONG command, MQLONG* reason,
                         MQLONG* count);

/* One line of the free-form responses to SET LOG, DISPLAY LOG and DISPLAY GROUP: appends
 * its parameters to pcf. *status 0 and *reason 0 when the line was accepted, else 2 and
 * 5007 (5003 when a parameter could not be appended). Returns 1 when accepted. */
VRQAPI_API int MqscToPcfSetLog(const char* line, PcfMessage* pcf, MQLONG* status,
                               MQLONG* reason, MQLONG* count);
VRQAPI_API int MqscToPcfDisplayLog(const char* line, PcfMessage* pcf, MQLONG* status,
                                   MQLONG* reason, MQLONG* count);
VRQAPI_API int MqscToPcfDisplayGroup(const char* line, PcfMessage* pcf, MQLONG* status,
                                     MQLONG* reason, MQLONG* count);

/*
 * Tokenizer of response text; keeps its position between calls (text null continues).
 * Skips leading delimiters (a ")" first ends an empty token at once), ends the token at
 * the next delimiter, which it stores in *found (0 at the end of the text) and replaces by
 * a terminator. Returns the token, or null at the end or for a token over 65,535 characters.
 */
VRQAPI_LINUX_API char* strtok_x(char* text, const char* delimiters, char* found);

/* Replaces every terminator byte before the last byte of length bytes of text by a blank. */
VRQAPI_API void MqscCorrection(char* text, MQLONG length);

/* Reads tokens of text (null continues) until one begins "CSQ" and copies it to out (room
 * bytes); 1 when found. */
VRQAPI_API int GetMqscStatus(char* text, char* out, MQLONG room);
/* The command entry for a PCF command code; makes its rule table the current one of the
 * response translation. Null when the command is unknown. */
VRQAPI_API MQSCKEY* GetMqscIdent(MQLONG command);
/* The next keyword token of the text being translated, or null at its end. */
VRQAPI_API char* GetMqscToken(void);
/* Reads the value that follows a keyword: the text up to the next ")", an inner "(...)"
 * included; trailing white space removed. Copies at most room - 1 characters to out and
 * returns its length, or 0 when there is no value. */
VRQAPI_API int GetMqscValue(char* out, MQLONG room);

/* Keep a value read from the response in entry (marked set). 1, or 0 with *reason. */
VRQAPI_API int MqscCmdToPcf(MQSCKEY* command, const char* msgid);
VRQAPI_API int MqscStrToPcf(MQSCKEY* entry, const char* value);
VRQAPI_API int MqscIntToPcf(MQSCKEY* entry, const char* value, MQLONG* reason);

/*
 * Builders of the response in the data area of pcf: each writes at *offset (bytes after
 * the data start), advances it and returns 1, or returns 0 with *reason 5003 when the
 * structure does not fit the allocated length.
 */
VRQAPI_LINUX_API int EmitPcfHeader(PcfMessage* pcf, MQSCKEY* command, MQLONG* offset, MQLONG* reason);
VRQAPI_LINUX_API int EmitPcfConst(PcfMessage* pcf, MQLONG parameter, MQLONG* offset, MQLONG* reason);
VRQAPI_LINUX_API int EmitPcfInt(PcfMessage* pcf, MQLONG parameter, MQLONG value, MQLONG* offset,
                                MQLONG* reason);
VRQAPI_LINUX_API int EmitPcfStr(PcfMessage* pcf, MQLONG parameter, const char* value, MQLONG* offset,
                                MQLONG* reason);
VRQAPI_LINUX_API int EmitPcfStrList(PcfMessage* pcf, MQLONG parameter, const char* value,
                                    MQLONG* offset, MQLONG* reason);
/* One set entry as its PCF structure (by the entry's type); the entry is cleared. */
VRQAPI_LINUX_API int EmitPcfMap(PcfMessage* pcf, MQSCKEY* entry, MQLONG* offset, MQLONG* reason);
/* The whole response from the current rule table: header, then every set entry in table
 * order; sets the used length. 1, or 0 with *reason. */
VRQAPI_API int EmitPcfMsg(PcfMessage* pcf, MQSCKEY* command, MQLONG* reason);

/* ---- end of MQSC TO PCF ---- */

#ifdef __cplusplus
}
#endif

#endif /* VRQAPI_H */

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

#if defined(_WIN32)
#  if defined(VRQAPI_BUILD)
#    define VRQAPI_API __declspec(dllexport)
#  else
#    define VRQAPI_API __declspec(dllimport)
#  endif
#else
#  define VRQAPI_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ==== TRACKED MEMORY: fNewMemory, fSizeMemory, FreeMemory, bGarbage, block tracking, memory log ==== */

/* ---- end of TRACKED MEMORY ---- */

/* ==== MESSAGE RECORDS: MDHDR, MSHDRE, MESSAGE, Buffer ==== */

/* ---- end of MESSAGE RECORDS ---- */

/* ==== PCF PARAMETER STRUCTURES: MQCF* layouts, the program types 997/998/999, IsPcfAttrValid ==== */

/* ---- end of PCF PARAMETER STRUCTURES ---- */

/* ==== PCF MESSAGE: PcfMessage, indexing, serialisation, command names ==== */

/* ---- end of PCF MESSAGE ---- */

/* ==== PCF ATTRIBUTES: the attribute families ==== */

/* ---- end of PCF ATTRIBUTES ---- */

/* ==== PCF BYTE ORDER: AlienToNative and friends ==== */

/* ---- end of PCF BYTE ORDER ---- */

/* ==== PCF COMMAND BUILDER: BuildPcfCmd ==== */

/* ---- end of PCF COMMAND BUILDER ---- */

/* ==== PCF PRINTING: PrintPcfMessage, dumps ==== */

/* ---- end of PCF PRINTING ---- */

/* ==== SORTING: ArrayHeapSort, SortPcfListAttr, AuthRecSort ==== */

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

/* ---- end of LOGGING AND PATHS ---- */

/* ==== INI AND PERMISSION FILES: ini handles, lookups, workgroups, GetRcText ==== */

/* ---- end of INI AND PERMISSION FILES ---- */

/* ==== MASKS: IsMaskMatch, IsMaskMatchIgnoreCase, IsRegExpMatch, IsPermitMaskMatch ==== */

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
VRQAPI_API extern MQSCKEY* MqCmdTbl[];
VRQAPI_API extern const MQSCMASTER MasterTbl[];
VRQAPI_API extern const MQSCRC CSQRc[];

/* Returns MqCmdTbl. */
VRQAPI_API MQSCKEY** GetCmdTbl(void);

/* The first entry of a null-terminated entry table whose id equals key (mode 1, key points
 * to a 32-bit integer) or whose keyword equals the text key (mode 2); null otherwise. */
VRQAPI_API MQSCKEY* tblSearch(MQSCKEY** table, int mode, const void* key);

/* In a rule table, the first row's entry whose id equals the integer key (mode 1), or
 * (mode 2) whose keyword equals the text key or whose value table holds that name. */
VRQAPI_API MQSCKEY* cmdSearch(MQSCRULE* rule, int mode, const void* key);

/* Keeps a value in the entry by its type (see the keyword entry) and marks nothing: types 0
 * and 3 copy length characters, 4, 6 and 7 at most length characters of a terminated text,
 * 2 the integer data points to, 5 the value entry data; 1 keeps nothing. 0 for other types. */
VRQAPI_API int tblSetValue(MQSCKEY* entry, const void* data, int length);

/* Hands the kept value out: strings are copied to out (room at least the kept length + 1;
 * "''" when none) and released, type 2 writes an int32_t, type 5 a copy of the value entry
 * (an MQSCKEY). Returns 1, or 0 for other types. */
VRQAPI_API int tblGetValue(MQSCKEY* entry, void* out);

/* The id table for the first three characters of a response message id; null when none. */
VRQAPI_API const MQSCRC* GetTable(const char* msgid);

/* The completion code and reason of the response message id kept as the command entry's
 * value; 0 and 0 for an unknown id. Returns 1. */
VRQAPI_API int MqscRcToPcf(MQSCKEY* command, MQLONG* compcode, MQLONG* reason);

/* ---- end of MQSC TABLES ---- */

/* ==== MQI PRINTERS: PrintMQMD and the constant-name maps ==== */

/* ---- end of MQI PRINTERS ---- */

/* ==== PCF TO MQSC: vrqPcf2Mqsc ==== */

/* ---- end of PCF TO MQSC ---- */

/* ==== MQSC TO PCF: vrqMqsc2Pcf ==== */

/* ---- end of MQSC TO PCF ---- */

#ifdef __cplusplus
}
#endif

#endif /* VRQAPI_H */

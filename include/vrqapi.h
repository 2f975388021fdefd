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

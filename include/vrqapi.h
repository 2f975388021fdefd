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

/*
 * cmqc.h - MQI types, structures and constants (stand-in for IBM MQ's header of the same
 * name; IBM's published names, values and 64-bit layouts).
 */
#ifndef CMQC_H
#define CMQC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t  MQLONG;
typedef uint32_t MQULONG;
typedef int64_t  MQINT64;
typedef uint64_t MQUINT64;
typedef unsigned char MQBYTE;
typedef char     MQCHAR;
typedef MQLONG   MQHCONN;
typedef MQLONG   MQHOBJ;
typedef MQINT64  MQHMSG;
typedef void*    MQPTR;
typedef MQCHAR   MQCHAR4[4];
typedef MQCHAR   MQCHAR8[8];
typedef MQCHAR   MQCHAR12[12];
typedef MQCHAR   MQCHAR28[28];
typedef MQCHAR   MQCHAR32[32];
typedef MQCHAR   MQCHAR48[48];
typedef MQBYTE   MQBYTE24[24];
typedef MQBYTE   MQBYTE32[32];

typedef struct tagMQMD {
  MQCHAR4   StrucId;
  MQLONG    Version;
  MQLONG    Report;
  MQLONG    MsgType;
  MQLONG    Expiry;
  MQLONG    Feedback;
  MQLONG    Encoding;
  MQLONG    CodedCharSetId;
  MQCHAR8   Format;
  MQLONG    Priority;
  MQLONG    Persistence;
  MQBYTE24  MsgId;
  MQBYTE24  CorrelId;
  MQLONG    BackoutCount;
  MQCHAR48  ReplyToQ;
  MQCHAR48  ReplyToQMgr;
  MQCHAR12  UserIdentifier;
  MQBYTE32  AccountingToken;
  MQCHAR32  ApplIdentityData;
  MQLONG    PutApplType;
  MQCHAR28  PutApplName;
  MQCHAR8   PutDate;
  MQCHAR8   PutTime;
  MQCHAR4   ApplOriginData;
  MQBYTE24  GroupId;
  MQLONG    MsgSeqNumber;
  MQLONG    Offset;
  MQLONG    MsgFlags;
  MQLONG    OriginalLength;
} MQMD;
typedef MQMD* PMQMD;

#define MQMD_STRUC_ID_ARRAY 'M','D',' ',' '
#define MQFMT_NONE_ARRAY ' ',' ',' ',' ',' ',' ',' ',' '
#define MQMI_NONE_ARRAY 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0
#define MQCI_NONE_ARRAY MQMI_NONE_ARRAY
#define MQGI_NONE_ARRAY MQMI_NONE_ARRAY
#define MQACT_NONE_ARRAY MQMI_NONE_ARRAY,0,0,0,0,0,0,0,0

#define MQMD_VERSION_1 1
#define MQMD_VERSION_2 2
#define MQRO_NONE 0x00000000
#define MQMT_DATAGRAM 8
#define MQEI_UNLIMITED (-1)
#define MQFB_NONE 0
#define MQENC_NATIVE 0x00000222
#define MQCCSI_Q_MGR 0
#define MQPRI_PRIORITY_AS_Q_DEF (-1)
#define MQPER_PERSISTENCE_AS_Q_DEF 2
#define MQAT_NO_CONTEXT 0
#define MQMF_NONE 0x00000000
#define MQOL_UNDEFINED (-1)

#define MQMD_DEFAULT {{MQMD_STRUC_ID_ARRAY}, MQMD_VERSION_1, MQRO_NONE, MQMT_DATAGRAM, \
  MQEI_UNLIMITED, MQFB_NONE, MQENC_NATIVE, MQCCSI_Q_MGR, {MQFMT_NONE_ARRAY}, \
  MQPRI_PRIORITY_AS_Q_DEF, MQPER_PERSISTENCE_AS_Q_DEF, {MQMI_NONE_ARRAY}, {MQCI_NONE_ARRAY}, 0, \
  {""}, {""}, {""}, {MQACT_NONE_ARRAY}, {""}, MQAT_NO_CONTEXT, {""}, {""}, {""}, {""}, \
  {MQGI_NONE_ARRAY}, 1, 0, MQMF_NONE, MQOL_UNDEFINED}

#ifdef __cplusplus
}
#endif

#endif /* CMQC_H */

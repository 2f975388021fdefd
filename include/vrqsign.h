/*
 * vrqsign.h - message signing and user verification: the signed wire image of a PCF
 * message (an MSHDRE followed by the scrambled MDHDR and PCF body) and its authentication,
 * the password check against the shadow password database, the split of qualified user
 * names and salted MD5 digests of credentials.
 *
 * Functions return 1 for success and 0 for failure unless said otherwise. Signature and key
 * blocks are tracked memory released by sgx_release_signature.
 */
#ifndef VRQSIGN_H
#define VRQSIGN_H

#include <stddef.h>
#include <stdint.h>

#include <vrqapi.h>

#if defined(_WIN32)
#  if defined(VRQSIGN_BUILD)
#    define VRQSIGN_API __declspec(dllexport)
#  else
#    define VRQSIGN_API __declspec(dllimport)
#  endif
#else
#  define VRQSIGN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Field sizes of the credential record. */
#define SGX_DOMAIN_SIZE       16
#define SGX_USER_SIZE         257
#define SGX_PASSWORD_SIZE     911
#define SGX_DIGEST_SIZE       16
#define SGX_DIGEST_INPUT_SIZE 384
/* Longest text generate_digest accepts: the digest input also holds a 16-byte digest. */
#define SGX_DIGEST_TEXT_MAX   (SGX_DIGEST_INPUT_SIZE - SGX_DIGEST_SIZE)

/* A user's credentials; the record is the caller's. Texts are zero-terminated. */
typedef struct SgxCredentials {
  char szDomain[SGX_DOMAIN_SIZE];
  char szUser[SGX_USER_SIZE];
  char szPassword[SGX_PASSWORD_SIZE];
  uint8_t PasswordDigest[SGX_DIGEST_SIZE];   /* MD5 of the password */
  uint8_t Reserved[16];
  uint8_t DigestInput[SGX_DIGEST_INPUT_SIZE]; /* text, then the password digest */
} SgxCredentials;

/* *signature = a new tracked block ("signature") holding the library's initial key value.
 * 0 when the block cannot be allocated. */
VRQSIGN_API int sgx_get_signature(uint32_t** signature);
/* Frees a signature or key block and nulls *block. Always 1. */
VRQSIGN_API int sgx_release_signature(uint32_t** block);
/* *key = a new tracked block ("KeySignature") holding the key that unscrambles messages
 * signed with sgx_get_signature's value; the user id does not change it. 0 on failure. */
VRQSIGN_API int sgx_get_key(const char* user_id, uint32_t** key);
/* Builds the signed image of msg into buffer (its bytes are created here): the 32 bytes of
 * msg->Ext, then the first Ext.UserMsgLength bytes of msg->PcfMsg scrambled under
 * *signature. 0 for null arguments, an Ext whose StrucLength is not 32, or a UserMsgLength
 * below 136 or beyond what the message holds. */
VRQSIGN_API int sgx_sign(const uint32_t* signature, PcfMessage* msg, Buffer* buffer);
/* Unscrambles header->UserMsgLength bytes of payload in place with the key for
 * header->Author and copies them to msg->PcfMsg from its MDHDR on, setting lMsgLength.
 * 0 for null arguments, a length the payload or the message block cannot hold, or a key
 * that cannot be had. */
VRQSIGN_API int sgx_authenticate(MSHDRE* header, Buffer* payload, PcfMessage* msg);
/* Checks szUser/szPassword against the shadow database. *status = 0 when both are valid;
 * 22 for a wrong password; for an unknown user the look-up's error number (22 when it is
 * 0) and message = "getspnam failed with errno <n>" (cut to message_size). message is
 * emptied first. */
VRQSIGN_API void sgx_verify_user(SgxCredentials* credentials, int* status, char* message,
                                 int message_size);
/* Splits a qualified szUser when szDomain is empty or begins with a blank: "DOM\name" and
 * "DOM/name" give domain DOM and user name, "name@DOM" the same; an unqualified name gets
 * domain ".". A domain part longer than 15 characters leaves the record unchanged. */
VRQSIGN_API void CheckUserDomain(SgxCredentials* credentials);
/* digest = MD5(text + MD5(password)); the record is rebuilt to hold only the password,
 * its digest and the digest input. 0 (nothing changed) for null arguments or a text
 * longer than SGX_DIGEST_TEXT_MAX characters. */
VRQSIGN_API int generate_digest(SgxCredentials* credentials, uint8_t* digest, const char* text);

#ifdef __cplusplus
}
#endif

#endif /* VRQSIGN_H */

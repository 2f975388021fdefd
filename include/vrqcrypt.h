/*
 * vrqcrypt.h - self-contained cryptographic primitives: AES block encryption and
 * decryption in electronic-codebook mode, base64 encoding and decoding, and the MD5
 * digest. No function keeps state between calls; only the base64 functions allocate, and
 * their results are released by the caller with free().
 *
 * Building the file md5.cpp into a program of its own (without the shared library) is
 * done with VRQCRYPT_STATIC defined.
 */
#ifndef VRQCRYPT_H
#define VRQCRYPT_H

#include <stddef.h>
#include <stdint.h>

#if defined(VRQCRYPT_STATIC)
#  define VRQCRYPT_API
#elif defined(_WIN32)
#  if defined(VRQCRYPT_BUILD)
#    define VRQCRYPT_API __declspec(dllexport)
#  else
#    define VRQCRYPT_API __declspec(dllimport)
#  endif
#else
#  define VRQCRYPT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- AES ---------------------------------------------------------------------------- */

/* The working record of one AES call: rounds (Nr), key length in 32-bit words (Nk), the
 * expanded round keys, the input block, the 4x4 state (row, column), the output block and
 * the cipher key, zero-filled beyond its length. */
typedef struct AESCONTEXT {
  uint32_t Nr;
  uint32_t Nk;
  uint8_t RoundKey[240];
  uint8_t in[16];
  uint8_t state[4][4];
  uint8_t out[16];
  uint8_t Key[32];
} AESCONTEXT;

/* Enciphers length bytes of input to output, each 16-byte block on its own with the same
 * key (ECB, no padding). key_length must be 16, 24 or 32 and length a multiple of 16;
 * otherwise nothing is done and output is untouched. input and output may be the same. */
VRQCRYPT_API void aes_encrypt(const uint8_t *key, uint32_t key_length, const uint8_t *input,
                              uint32_t length, uint8_t *output);

/* Deciphers as aes_encrypt enciphers, with the same rules for lengths. */
VRQCRYPT_API void aes_decrypt(const uint8_t *key, uint32_t key_length, const uint8_t *input,
                              uint32_t length, uint8_t *output);

/* Checks key_length (16, 24 or 32), sets Nk and Nr and copies the key into the context
 * (zero-filled to 32 bytes). Returns 1, or 0 for any other length (context untouched). */
VRQCRYPT_API int InitData(AESCONTEXT *context, const uint8_t *key, uint32_t key_length);

/* Expands the context's key into its round keys (Nr + 1 of them). */
VRQCRYPT_API void KeyExpansion(AESCONTEXT *context);

/* Enciphers the context's input block into its output block with its round keys. */
VRQCRYPT_API void Cipher(AESCONTEXT *context);

/* Deciphers the context's input block into its output block with its round keys. */
VRQCRYPT_API void InvCipher(AESCONTEXT *context);

/* ---- base64 ------------------------------------------------------------------------- */

/* Encodes length bytes of data as base64 text in lines of 72 characters, each ending with
 * a line feed (so a non-empty result always ends with one). A length of 0 means data is a
 * zero-terminated text. Returns a malloc'ed zero-terminated text (empty for empty input),
 * or NULL when data is NULL or memory runs out. */
VRQCRYPT_API char *b64encode(const uint8_t *data, size_t length);

/* Decodes base64 text, skipping blanks, tabs, line and form feeds and carriage returns.
 * Returns 0 with a malloc'ed buffer of the bytes in *output (released at once when output
 * is NULL) and their count in *output_length; 1 when text is NULL or a padding character
 * stands where it cannot (before the last group, or in the first half of a group, or
 * followed by a data character) or memory runs out; 2 when the count of significant characters is not a
 * multiple of 4; 3 when the text holds a character outside the alphabet. On failure
 * nothing is returned. */
VRQCRYPT_API int b64decode(const char *text, uint8_t **output, size_t *output_length);

/* ---- MD5 ---------------------------------------------------------------------------- */

/* The running state of an MD5 digest: input length in bits (low word, high word), the
 * four chaining values, the partly filled input block and, after md5_finish, the digest. */
typedef struct MD5CONTEXT {
  uint32_t count[2];
  uint32_t abcd[4];
  uint8_t buf[64];
  uint8_t digest[16];
} MD5CONTEXT;

/* Starts a digest. */
VRQCRYPT_API void md5_init(MD5CONTEXT *context);

/* Adds length bytes of data to the digest. */
VRQCRYPT_API void md5_append(MD5CONTEXT *context, const uint8_t *data, size_t length);

/* Ends the digest; the 16 bytes are then in context->digest. */
VRQCRYPT_API void md5_finish(MD5CONTEXT *context);

/* The 16-byte MD5 digest (raw bytes) of length bytes of data, written to digest. */
VRQCRYPT_API void md5_encrypt(const uint8_t *data, size_t length, uint8_t *digest);

#ifdef __cplusplus
}

static_assert(sizeof(AESCONTEXT) == 4 + 4 + 240 + 16 + 16 + 16 + 32, "AESCONTEXT layout");
static_assert(offsetof(AESCONTEXT, RoundKey) == 8 && offsetof(AESCONTEXT, Key) == 296,
              "AESCONTEXT layout");
static_assert(sizeof(MD5CONTEXT) == 8 + 16 + 64 + 16 && offsetof(MD5CONTEXT, buf) == 24 &&
                  offsetof(MD5CONTEXT, digest) == 88,
              "MD5CONTEXT layout");
#endif

#endif /* VRQCRYPT_H */

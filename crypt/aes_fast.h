// The fast block paths behind aes_encrypt/aes_decrypt: a table-driven cipher for any
// processor and an AES-NI cipher used when the processor has the AES instructions. Both
// take the FIPS-197 round keys produced by KeyExpansion and give the same results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vrqcrypt {

// Enciphers or deciphers blocks (count 16-byte blocks) with the table-driven cipher.
void TableEncrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out);
void TableDecrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out);

// True when the processor has the AES instructions (checked once).
bool AesNiAvailable();
void AesNiEncrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out);
void AesNiDecrypt(const uint8_t* round_keys, uint32_t rounds, const uint8_t* in, size_t blocks,
                  uint8_t* out);

}  // namespace vrqcrypt

// Credentials: the split of a qualified user name into domain and user, and salted MD5
// digests. The password check is a platform file (verify_user_*.cpp).
#include <cstdio>
#include <cstring>
#include <string_view>

#include "vrqcrypt.h"
#include "vrqsign.h"

namespace {

constexpr std::string_view kLocalDomain = ".";

template <size_t N>
void SetText(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size());
}

}  // namespace

extern "C" {

VRQSIGN_API void CheckUserDomain(SgxCredentials* credentials) {
  if (credentials == nullptr) return;
  if (credentials->szDomain[0] != '\0' && credentials->szDomain[0] != ' ') return;
  const std::string_view user(credentials->szUser, strnlen(credentials->szUser, SGX_USER_SIZE - 1));
  if (user.empty()) return;
  std::string_view domain = kLocalDomain;
  std::string_view name = user;
  if (const size_t at = user.find_first_of("\\/"); at != std::string_view::npos) {
    domain = user.substr(0, at);
    name = user.substr(at + 1);
  } else if (const size_t sign = user.find('@'); sign != std::string_view::npos) {
    name = user.substr(0, sign);
    domain = user.substr(sign + 1);
  }
  if (domain.size() >= SGX_DOMAIN_SIZE) return;
  char copy[SGX_USER_SIZE];
  std::memcpy(copy, name.data(), name.size());  // name lies inside szUser
  SetText(credentials->szDomain, domain);
  SetText(credentials->szUser, std::string_view(copy, name.size()));
}

VRQSIGN_API int generate_digest(SgxCredentials* credentials, uint8_t* digest, const char* text) {
  if (credentials == nullptr || digest == nullptr || text == nullptr) return 0;
  const size_t text_length = strnlen(text, SGX_DIGEST_TEXT_MAX + 1);
  if (text_length > SGX_DIGEST_TEXT_MAX) return 0;
  SgxCredentials fresh{};
  const size_t password_length = strnlen(credentials->szPassword, SGX_PASSWORD_SIZE - 1);
  std::memcpy(fresh.szPassword, credentials->szPassword, password_length);
  md5_encrypt(reinterpret_cast<const uint8_t*>(fresh.szPassword), password_length, fresh.PasswordDigest);
  std::memcpy(fresh.DigestInput, text, text_length);
  std::memcpy(fresh.DigestInput + text_length, fresh.PasswordDigest, SGX_DIGEST_SIZE);
  md5_encrypt(fresh.DigestInput, text_length + SGX_DIGEST_SIZE, digest);
  *credentials = fresh;
  return 1;
}

}  // extern "C"

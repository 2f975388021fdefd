// Compiled message catalogue files (.mo) built in memory, for the catalogue tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace catalogue_file {

using Messages = std::vector<std::pair<std::string, std::string>>;

// Byte positions of the header words.
constexpr std::size_t kRevisionAt = 4;
constexpr std::size_t kCountAt = 8;
constexpr std::size_t kOriginalsAt = 12;
constexpr std::size_t kHashSizeAt = 20;

inline void Put(std::string& out, std::size_t at, uint32_t v, bool big_endian) {
  for (int i = 0; i < 4; ++i) {
    const int shift = big_endian ? 24 - 8 * i : 8 * i;
    out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> shift) & 0xff);
  }
}

// A catalogue file as a message compiler writes it: header, the two tables, an empty hash
// table, then the texts, each followed by a zero byte. The header entry comes first.
inline std::string Catalogue(const Messages& messages, bool big_endian = false) {
  Messages all{{"", "Content-Type: text/plain; charset=UTF-8\n"}};
  all.insert(all.end(), messages.begin(), messages.end());
  const auto n = static_cast<uint32_t>(all.size());
  const uint32_t originals = 28;
  const uint32_t translations = originals + 8 * n;
  std::string out(translations + 8 * n, '\0');
  Put(out, 0, 0x950412de, big_endian);
  Put(out, kCountAt, n, big_endian);
  Put(out, kOriginalsAt, originals, big_endian);
  Put(out, 16, translations, big_endian);
  Put(out, 24, static_cast<uint32_t>(out.size()), big_endian);
  for (uint32_t i = 0; i < n; ++i) {
    const std::string* texts[] = {&all[i].first, &all[i].second};
    for (int side = 0; side < 2; ++side) {
      const std::size_t entry = (side == 0 ? originals : translations) + 8 * i;
      Put(out, entry, static_cast<uint32_t>(texts[side]->size()), big_endian);
      Put(out, entry + 4, static_cast<uint32_t>(out.size()), big_endian);
      out += *texts[side];
      out += '\0';
    }
  }
  return out;
}

}  // namespace catalogue_file

// The message catalogue reader. A compiled catalogue (.mo) starts with seven 32-bit words
// in the byte order of the machine that wrote it: the magic number, the revision, the
// number of messages N, the offsets of the table of originals and of the table of
// translations (N pairs of length and offset each), and the size and offset of a hash
// table. Every text ends with a zero byte not counted in its length. Catalogues here hold
// a handful of messages, so look-ups walk the table and the hash table is not used.
#include "message_catalogue.h"

#include <cstdio>
#include <cstring>

namespace vrq::net {
namespace {

constexpr uint32_t kMagic = 0x950412de;
constexpr uint32_t kSwappedMagic = 0xde120495;
constexpr std::size_t kHeaderSize = 28;
constexpr std::size_t kReadChunk = 16384;

// Reads the header words and table pairs; positions are checked by the caller.
class Words {
 public:
  Words(std::string_view bytes, bool big_endian) : bytes_(bytes), big_endian_(big_endian) {}
  uint32_t At(std::size_t pos) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data()) + pos;
    if (big_endian_)
      return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }

 private:
  std::string_view bytes_;
  bool big_endian_;
};

// Whether a table of count entries of entry_size bytes at offset lies inside the file.
bool TableFits(std::size_t size, uint32_t offset, uint32_t count, uint32_t entry_size) {
  return uint64_t{offset} + uint64_t{count} * entry_size <= size;
}

// Whether a text lies inside the file followed by its zero byte.
bool TextFits(std::string_view bytes, uint32_t offset, uint32_t length) {
  const uint64_t end = uint64_t{offset} + length;
  return end < bytes.size() && bytes[static_cast<std::size_t>(end)] == '\0';
}

// Characters that may stand between '%' and the conversion: flags, width, precision,
// argument positions and length modifiers.
constexpr std::string_view kDirectiveBody = "-+ #0'123456789$*.hlLqjztI";
constexpr std::string_view kConversions = "diouxXeEfFgGaAcspn";

enum class Scan { kEnd, kDirective, kBad };

// Finds the next directive of a format from pos on and moves pos past it.
Scan NextDirective(std::string_view format, std::size_t& pos, std::string_view& directive) {
  while (pos < format.size()) {
    if (format[pos] != '%') {
      ++pos;
      continue;
    }
    const std::size_t start = pos++;
    if (pos < format.size() && format[pos] == '%') {
      ++pos;
      continue;
    }
    while (pos < format.size() && kDirectiveBody.find(format[pos]) != std::string_view::npos)
      ++pos;
    if (pos == format.size() || kConversions.find(format[pos]) == std::string_view::npos)
      return Scan::kBad;
    ++pos;
    directive = format.substr(start, pos - start);
    return Scan::kDirective;
  }
  return Scan::kEnd;
}

}  // namespace

MessageCatalogue MessageCatalogue::FromBytes(std::string_view bytes) {
  if (bytes.size() < kHeaderSize || bytes.size() > kMaxFileSize) return {};
  const uint32_t magic = Words(bytes, false).At(0);
  if (magic != kMagic && magic != kSwappedMagic) return {};
  const Words words(bytes, magic == kSwappedMagic);
  // Later minor revisions add tables after these; the ones read here stay as they are.
  if (words.At(4) >> 16 != 0) return {};
  const uint32_t count = words.At(8);
  const uint32_t originals = words.At(12);
  const uint32_t translations = words.At(16);
  const uint32_t hash_size = words.At(20);
  const uint32_t hash_offset = words.At(24);
  if (!TableFits(bytes.size(), originals, count, 8) ||
      !TableFits(bytes.size(), translations, count, 8) ||
      !TableFits(bytes.size(), hash_offset, hash_size, 4))
    return {};

  MessageCatalogue catalogue;
  catalogue.entries_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const std::size_t o = originals + std::size_t{i} * 8;
    const std::size_t t = translations + std::size_t{i} * 8;
    const Entry e{words.At(o + 4), words.At(o), words.At(t + 4), words.At(t)};
    if (!TextFits(bytes, e.original, e.original_length) ||
        !TextFits(bytes, e.translation, e.translation_length))
      return {};
    catalogue.entries_.push_back(e);
  }
  catalogue.bytes_.assign(bytes.begin(), bytes.end());
  return catalogue;
}

MessageCatalogue MessageCatalogue::Load(const char* path) {
  if (path == nullptr || *path == '\0') return {};
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return {};
  std::vector<char> bytes;
  bool ok = true;
  for (;;) {
    const std::size_t have = bytes.size();
    bytes.resize(have + kReadChunk);
    const std::size_t got = std::fread(bytes.data() + have, 1, kReadChunk, file);
    bytes.resize(have + got);
    if (bytes.size() > kMaxFileSize || std::ferror(file) != 0) {
      ok = false;
      break;
    }
    if (got < kReadChunk) break;
  }
  std::fclose(file);
  if (!ok) return {};
  return FromBytes(std::string_view(bytes.data(), bytes.size()));
}

const char* MessageCatalogue::Find(std::string_view text) const {
  if (text.empty()) return nullptr;
  for (const Entry& e : entries_) {
    if (e.original_length != text.size() ||
        std::memcmp(bytes_.data() + e.original, text.data(), text.size()) != 0)
      continue;
    return e.translation_length > 0 ? bytes_.data() + e.translation : nullptr;
  }
  return nullptr;
}

const char* MessageCatalogue::Translate(const char* format) const {
  if (format == nullptr) return format;
  const char* translation = Find(format);
  return translation != nullptr && SameDirectives(format, translation) ? translation : format;
}

bool SameDirectives(std::string_view original, std::string_view translation) {
  std::size_t at_original = 0;
  std::size_t at_translation = 0;
  for (;;) {
    std::string_view a;
    std::string_view b;
    const Scan sa = NextDirective(original, at_original, a);
    const Scan sb = NextDirective(translation, at_translation, b);
    if (sa == Scan::kBad || sb == Scan::kBad || sa != sb) return false;
    if (sa == Scan::kEnd) return true;
    if (a != b) return false;
  }
}

}  // namespace vrq::net

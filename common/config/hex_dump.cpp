// Hexadecimal dumps of byte areas for diagnostics: the two-line character/byte rows of
// PrintHex and the offset-prefixed rows of PrintFormattedHexData.
#include <vrqapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

namespace {

constexpr const char* kGroupGap = "    ";
constexpr const char* kOffsetFormat = "%08X:  ";

char Shown(unsigned char c) { return c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.'; }

std::span<const unsigned char> Bytes(const void* data, int length) {
  if (data == nullptr || length <= 0) return {};
  return {static_cast<const unsigned char*>(data), static_cast<std::size_t>(length)};
}

void Indent(FILE* stream, int indent) {
  for (int i = 0; i < indent; ++i) std::fputc(' ', stream);
}

void Chars(FILE* stream, std::span<const unsigned char> row, const char* separator) {
  for (unsigned char c : row) std::fprintf(stream, "%c%s", Shown(c), separator);
}

void HexBytes(FILE* stream, std::span<const unsigned char> row, const char* separator) {
  for (unsigned char c : row) std::fprintf(stream, "%02X%s", c, separator);
}

void Pad(FILE* stream, std::size_t missing, std::size_t width) {
  for (std::size_t i = 0; i < missing * width; ++i) std::fputc(' ', stream);
}

}  // namespace

extern "C" {

void PrintHexFile(FILE* stream, const void* data, int length, int perRow, int indent) {
  auto bytes = Bytes(data, length);
  if (stream == nullptr || perRow <= 0) return;
  bool first = true;
  for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(perRow)) {
    auto row = bytes.subspan(at, std::min(bytes.size() - at, static_cast<std::size_t>(perRow)));
    if (!first) Indent(stream, indent);
    first = false;
    for (unsigned char c : row) std::fprintf(stream, "%-2c", Shown(c));
    std::fputc('\n', stream);
    Indent(stream, indent);
    for (unsigned char c : row) std::fprintf(stream, "%02X", c);
    std::fputc('\n', stream);
  }
}

void PrintHex(const void* data, int length, int perRow, int indent) {
  if (Bytes(data, length).empty() || perRow <= 0) return;
  Indent(stdout, indent);
  PrintHexFile(stdout, data, length, perRow, indent);
}

void PrintFormattedHexData(const void* data, int length, int perRow, const char* separator,
                           const char* firstPrefix, const char* laterPrefix, int charsFirst,
                           FILE* stream) {
  auto bytes = Bytes(data, length);
  if (stream == nullptr || perRow <= 0) return;
  const char* sep = separator != nullptr ? separator : "";
  std::size_t sepWidth = std::strlen(sep);
  auto width = static_cast<std::size_t>(perRow);
  for (std::size_t at = 0; at < bytes.size(); at += width) {
    auto row = bytes.subspan(at, std::min(bytes.size() - at, width));
    const char* prefix = at == 0 ? firstPrefix : laterPrefix;
    std::fprintf(stream, "%s", prefix != nullptr ? prefix : "");
    std::fprintf(stream, kOffsetFormat, static_cast<unsigned>(at));
    if (charsFirst != 0) {
      Chars(stream, row, sep);
      Pad(stream, width - row.size(), 1 + sepWidth);
      std::fputs(kGroupGap, stream);
      HexBytes(stream, row, sep);
    } else {
      HexBytes(stream, row, sep);
      Pad(stream, width - row.size(), 2 + sepWidth);
      std::fputs(kGroupGap, stream);
      Chars(stream, row, sep);
    }
    std::fputc('\n', stream);
  }
}

void PrintHexData(const void* data, int length, FILE* stream) {
  PrintFormattedHexData(data, length, 16, " ", "", "", 1, stream);
}

void PrintHexBytes(const void* data, int length, const char* separator, FILE* stream) {
  if (stream == nullptr) return;
  HexBytes(stream, Bytes(data, length), separator != nullptr ? separator : "");
}

void PrintHexChars(const void* data, int length, const char* separator, FILE* stream) {
  if (stream == nullptr) return;
  Chars(stream, Bytes(data, length), separator != nullptr ? separator : "");
}

}  // extern "C"

// The hex and text dump of message data printed with the per-message trace: 16 bytes a
// line, offset, hexadecimal column and printable text.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "reply.h"

namespace {

// The buffer's address as glibc's %p writes it, on every platform (the Windows C run-time
// writes %p as 16 digits without "0x").
constexpr const char* kDumpHeader = "\n  Message Data (Hex/Text), Msg Buffer %s, Text Size %d (0x%x):\n";
constexpr const char* kDumpLine = "  %08X  %-32s  %-16s\n";
constexpr int kBytesPerLine = 16;

void PrintLine(const uint8_t* bytes, int count, int offset) {
  char hex[3 * kBytesPerLine + 1];
  char text[kBytesPerLine + 2];
  for (int i = 0; i < kBytesPerLine; ++i) {
    if (i < count) {
      std::snprintf(hex + 3 * i, 4, "%02X ", bytes[i]);
    } else {
      std::memcpy(hex + 3 * i, "   ", 4);
    }
  }
  for (int i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    text[i] = b >= 0x20 && b < 0x7f ? static_cast<char>(b) : '.';
  }
  text[count] = ' ';
  text[count + 1] = '\0';
  std::printf(kDumpLine, static_cast<unsigned>(offset), hex, text);
}

}  // namespace

void PrintData(const void* data, long size) {
  const int n = size < 0 ? 0 : static_cast<int>(size);
  char address[2 + 2 * sizeof(uintptr_t) + 1] = "(nil)";
  if (data != nullptr)
    std::snprintf(address, sizeof address, "0x%" PRIxPTR, reinterpret_cast<uintptr_t>(data));
  std::printf(kDumpHeader, address, n, static_cast<unsigned>(n));
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (int offset = 0; offset < n; offset += kBytesPerLine) {
    const int count = n - offset < kBytesPerLine ? n - offset : kBytesPerLine;
    PrintLine(bytes + offset, count, offset);
  }
  std::fflush(stdout);
}

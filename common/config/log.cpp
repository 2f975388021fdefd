// The common log entry (LOGMSG), the redirection of the log to a file, the assertion
// routine and the lookup of the real user's login name.
#include <vrqapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

namespace {

constexpr std::size_t kWorkArea = 1024;
constexpr const char* kEntryFormat = "\nDate: %s%s%.*s\n";
constexpr const char* kPrefix = "VRQ";
// The frame ("\nDate: ", the 25-character date line, the prefix and the newline) takes 36
// characters of the work area; the message gets the rest but for the terminating zero.
constexpr int kMaxText = static_cast<int>(kWorkArea) - 36 - 1;
constexpr const char* kAssertFormat = "0105E  Assertion failed in %s at line %d: %s";

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char g_assert_text[512];

// The standard 24-character local date text and its newline, e.g. "Sun Dec  6 20:26:37 2026\n".
void LocalDate(char (&out)[64]) {
  // The reentrant conversion: LOGMSG may be called from several threads at once.
  std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  const std::tm* t = localtime_s(&local, &now) == 0 ? &local : nullptr;
#else
  const std::tm* t = localtime_r(&now, &local);
#endif
  if (t == nullptr) {
    std::snprintf(out, sizeof out, "??? ??? ?? ??:??:?? ????\n");
    return;
  }
  std::snprintf(out, sizeof out, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", kWeekdays[t->tm_wday % 7],
                kMonths[t->tm_mon % 12], t->tm_mday, t->tm_hour, t->tm_min, t->tm_sec,
                1900 + t->tm_year);
}

}  // namespace

extern "C" {

int LOGMSG(const char* text, int /*level*/) {
  char date[64];
  LocalDate(date);
  char entry[kWorkArea] = {};
  int length = text != nullptr ? static_cast<int>(strnlen(text, kMaxText)) : 0;
  std::snprintf(entry, sizeof entry, kEntryFormat, date, kPrefix, length,
                text != nullptr ? text : "");
  std::fputs(entry, stdout);
  return std::fflush(stdout);
}

FILE* VrqApiSetLogFile(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  // A failed freopen would leave standard output closed; try the file first.
  FILE* probe = std::fopen(path, "a");
  if (probe == nullptr) return nullptr;
  std::fclose(probe);
  std::fflush(stdout);
  return std::freopen(path, "a", stdout);
}

void debug(int condition, const char* expression, int cont, const char* file, int line) {
  if (condition != 0) return;
  std::snprintf(g_assert_text, sizeof g_assert_text, kAssertFormat, file != nullptr ? file : "",
                line, expression != nullptr ? expression : "");
  LOGMSG(g_assert_text, 1);
  if (cont == 0) std::abort();
}

}  // extern "C"

// The main of every test program. A program holds the tests of one folder; with
// --source=<file name without extension> it runs only the tests that file defines, which is
// how CTest lists and runs each file as a test of its own. A --gtest_filter given as well
// takes precedence.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// "tests/api/ini_file.cpp" -> "ini_file"
std::string Stem(const char* path) {
  std::string s(path ? path : "");
  const auto slash = s.find_last_of("/\\");
  if (slash != std::string::npos) s.erase(0, slash + 1);
  const auto dot = s.rfind('.');
  if (dot != std::string::npos) s.erase(dot);
  return s;
}

std::string FilterForSource(const std::string& source) {
  std::string filter;
  const auto* unit = ::testing::UnitTest::GetInstance();
  for (int i = 0; i < unit->total_test_suite_count(); ++i) {
    const auto* suite = unit->GetTestSuite(i);
    for (int j = 0; j < suite->total_test_count(); ++j) {
      const auto* info = suite->GetTestInfo(j);
      if (Stem(info->file()) != source) continue;
      if (!filter.empty()) filter += ':';
      filter += std::string(suite->name()) + "." + info->name();
    }
  }
  return filter;
}

// After a run where nothing failed, names each skipped test with its reason and ends with
// the line "vrqtest: <n> of <m> tests skipped", which CTest's SKIP_REGULAR_EXPRESSION
// (cmake/VrqTargets.cmake) turns into a skipped test. A run with a failure prints no such
// line: CTest would show a match as skipped whatever the exit status.
void ReportSkipped(int result) {
  const auto* unit = ::testing::UnitTest::GetInstance();
  if (result != 0 || unit->skipped_test_count() == 0) return;
  for (int i = 0; i < unit->total_test_suite_count(); ++i) {
    const auto* suite = unit->GetTestSuite(i);
    for (int j = 0; j < suite->total_test_count(); ++j) {
      const auto* info = suite->GetTestInfo(j);
      const auto* outcome = info->result();
      if (!info->should_run() || !outcome->Skipped()) continue;
      std::string reason;
      for (int k = 0; k < outcome->total_part_count(); ++k)
        if (outcome->GetTestPartResult(k).skipped()) reason = outcome->GetTestPartResult(k).message();
      // GTEST_SKIP() << "why" gives "Skipped\nwhy".
      if (reason.rfind("Skipped\n", 0) == 0) reason.erase(0, 8);
      for (char& c : reason)
        if (c == '\n' || c == '\r') c = ' ';
      std::printf("vrqtest: skipped %s.%s: %s\n", suite->name(), info->name(),
                  reason.empty() ? "(no reason given)" : reason.c_str());
    }
  }
  std::printf("vrqtest: %d of %d tests skipped\n", unit->skipped_test_count(),
              unit->test_to_run_count());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string source;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--source=", 9) == 0) source = argv[i] + 9;
    else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  if (!source.empty() && ::testing::GTEST_FLAG(filter) == "*") {
    const std::string filter = FilterForSource(source);
    if (filter.empty()) {
      std::fprintf(stderr, "no tests are defined in %s\n", source.c_str());
      return 1;
    }
    ::testing::GTEST_FLAG(filter) = filter;
  }
  const int result = RUN_ALL_TESTS();
  ReportSkipped(result);
  return result;
}

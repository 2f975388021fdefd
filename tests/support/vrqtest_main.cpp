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
  return RUN_ALL_TESTS();
}

// Replays every crash input the fuzzers found, kept in regressions/ and named
// "<fuzzer>-<what went wrong>.bin", through the entry of that fuzzer.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz/presentation/entries.h"

namespace lamina::presentation {
namespace {

namespace fs = std::filesystem;

using Entry = bool (*)(std::span<const std::uint8_t>);

TEST(FuzzRegressions, EveryKeptInputReadsCleanlyThroughItsFuzzer) {
  const std::map<std::string, Entry> entries = {
      {"ppt", fuzzing::readPpt},
      {"ppt_records", fuzzing::readPptRecords},
      {"ooxml", fuzzing::readOoxml},
      {"odf", fuzzing::readOdf},
  };
  int replayed = 0;
  for (const auto& file : fs::directory_iterator("tests/presentation/regressions")) {
    const std::string name = file.path().filename().string();
    const auto entry = entries.find(name.substr(0, name.find('-')));
    ASSERT_NE(entry, entries.end()) << name << " names no fuzzer";
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_TRUE(entry->second(bytes)) << name;
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
}  // namespace lamina::presentation

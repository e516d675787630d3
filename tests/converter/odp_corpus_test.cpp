// Converts every OpenDocument presentation of the shared corpus through the
// batch mode and compares the text with the expected file from line 2 on
// (line 1 holds the input's path).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string_view>

#include "converter/batch.h"
#include "presentation/native_reader.h"

namespace lamina::converter {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = "../shared/corpus/odp";

std::string fromLineTwo(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  const std::size_t end = text.find("\r\n");
  return end == std::string::npos ? std::string() : text.substr(end + 2);
}

TEST(OdpCorpus, BatchConvertsEachFileAsExpectedOrRefusesItForItsReason) {
  std::ifstream manifest(kCorpus / "expected" / "MANIFEST.tsv");
  if (!manifest) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string_view(ci) == "true") FAIL() << "odp corpus missing (CI=true)";
    GTEST_SKIP() << "corpus not present";
  }
  // Copies, so that each output lands beside its input as the batch mode
  // writes it: the input's name with ".TXT" appended, whatever its extension.
  const fs::path dir =
      fs::temp_directory_path() / ("lamina-odp-test-" + std::to_string(std::random_device()()));
  fs::create_directories(dir);
  std::map<std::string, std::string> status;
  std::vector<std::string_view> args;
  std::string line;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string name;
    std::getline(fields, name, '\t');
    if (name.empty()) continue;
    std::getline(fields, status[name], '\t');
    fs::copy_file(kCorpus / "files" / name, dir / name);
  }
  for (const auto& [name, s] : status) args.emplace_back(name);

  presentation::NativeReader reader;
  std::ostringstream errors;
  EXPECT_EQ(runBatch(args, reader, errors, dir), 1);
  int ok = 0, matched = 0, refused = 0;
  for (const auto& [name, s] : status) {
    const fs::path output = dir / (name + ".TXT");
    if (s == "ok") {
      ++ok;
      const std::string expected = fromLineTwo(kCorpus / "expected" / (name + ".txt"));
      EXPECT_EQ(fromLineTwo(output), expected) << name;
      matched += fs::exists(output) && fromLineTwo(output) == expected;
    } else {
      ++refused;
      const ConvertResult reason =
          s == "encrypted" ? ConvertResult::encrypted : ConvertResult::corrupt;
      const std::string message = "lamina: " + name + ": " + std::string(resultText(reason)) + "\n";
      EXPECT_NE(errors.str().find(message), std::string::npos) << name << " (" << s << ")";
      EXPECT_FALSE(fs::exists(output)) << name;
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), ok + refused + ok)
      << "temporary files left";
  fs::remove_all(dir);
  std::cout << "odp corpus: " << matched << " of " << ok << " files match; " << refused
            << " refused\n";
  EXPECT_GT(ok, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace lamina::converter

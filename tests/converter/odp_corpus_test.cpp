// Converts every OpenDocument presentation of the shared corpus and compares
// the text with the expected file from line 2 on (line 1 holds the path).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string_view>

#include "converter/batch.h"
#include "converter/output_file.h"
#include "presentation/native_reader.h"

namespace lamina::converter {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = "../shared/corpus/odp";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string fromLineTwo(const std::string& text) {
  const std::size_t end = text.find("\r\n");
  return end == std::string::npos ? std::string() : text.substr(end + 2);
}

TEST(OdpCorpus, EveryFileConvertsAsExpectedOrIsRefusedForItsReason) {
  std::ifstream manifest(kCorpus / "expected" / "MANIFEST.tsv");
  if (!manifest) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string_view(ci) == "true") {
      FAIL() << "corpus missing: " << (kCorpus / "expected" / "MANIFEST.tsv") << " (CI=true)";
    }
    GTEST_SKIP() << "corpus not present";
  }
  const fs::path out =
      fs::temp_directory_path() / ("lamina-odp-test-" + std::to_string(std::random_device()()));
  fs::remove_all(out);
  fs::create_directories(out);

  presentation::NativeReader reader;
  SilentConsole console;
  Converter converter(reader, console);
  int okFiles = 0, matched = 0, refuseFiles = 0;
  std::string line;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string name, status;
    std::getline(fields, name, '\t');
    std::getline(fields, status, '\t');
    if (name.empty()) continue;
    const fs::path target = out / (name + ".TXT");
    const ConvertResult result =
        convertToFile(converter, (kCorpus / "files" / name).string(), target, false);
    if (status == "ok") {
      ++okFiles;
      EXPECT_EQ(result, ConvertResult::ok) << name;
      const std::string expected = fromLineTwo(slurp(kCorpus / "expected" / (name + ".txt")));
      const std::string written = result == ConvertResult::ok ? fromLineTwo(slurp(target)) : "";
      EXPECT_EQ(written, expected) << name;
      matched += written == expected;
    } else {
      ++refuseFiles;
      EXPECT_EQ(result, status == "encrypted" ? ConvertResult::encrypted : ConvertResult::corrupt)
          << name;
      EXPECT_FALSE(fs::exists(target)) << name;
    }
    fs::remove(target);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 0) << "temporary files left";
  fs::remove_all(out);
  std::cout << "odp corpus: " << matched << " of " << okFiles << " files match; " << refuseFiles
            << " refused\n";
  EXPECT_GT(okFiles, 0);
  EXPECT_GT(refuseFiles, 0);
}

// The three OpenDocument forms go through the batch mode like the others:
// ".TXT" appended, and a refused file reported with no output left.
TEST(OdpBatch, PackagesTemplatesAndFlatDocumentsGetTheirTxt) {
  if (!fs::exists(kCorpus / "files")) GTEST_SKIP() << "corpus not present";
  const fs::path dir =
      fs::temp_directory_path() / ("lamina-odp-batch-" + std::to_string(std::random_device()()));
  fs::create_directories(dir);
  const std::vector<std::string> names = {"01-relatorio.otp", "25-plano.fodp", "33-espacos.odp",
                                          "51-senha.odp"};
  std::vector<std::string_view> args;
  for (const std::string& name : names) {
    fs::copy_file(kCorpus / "files" / name, dir / name);
    args.emplace_back(name);
  }
  presentation::NativeReader reader;
  std::ostringstream errors;
  EXPECT_EQ(runBatch(args, reader, errors, dir), 1);
  EXPECT_EQ(errors.str(), "lamina: 51-senha.odp: apresenta\xC3\xA7\xC3\xA3o protegida por senha\n");
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(fromLineTwo(slurp(dir / (names[i] + ".TXT"))),
              fromLineTwo(slurp(kCorpus / "expected" / (names[i] + ".txt"))))
        << names[i];
  }
  EXPECT_FALSE(fs::exists(dir / "51-senha.odp.TXT"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace lamina::converter

#include "converter/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "converter/batch.h"
#include "tests/converter/fake_reader.h"

namespace lamina::converter {
namespace {

namespace fs = std::filesystem;
using testing::FakeReader;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void spit(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("lamina-conv-" + std::to_string(std::random_device()()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    reader.slides = {{reader.text(u"Ol\u00E1")}};
  }
  void TearDown() override { fs::remove_all(dir); }

  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
  }

  fs::path dir;
  FakeReader reader;
  SilentConsole console;
  Converter converter{reader, console};
};

TEST_F(OutputFileTest, SuccessReplacesTheTargetAndLeavesNoTemporary) {
  const fs::path target = dir / "out.txt";
  spit(target, "old");
  ASSERT_EQ(convertToFile(converter, "/p/a.ppt", target, false), ConvertResult::ok);
  EXPECT_EQ(slurp(target),
            "Apresenta\xE7\xE3o: /p/a.ppt\r\nN\xFAmero de slides: 1\r\n---- Slide 1 ----\r\n"
            "Ol\xE1\r\n\r\n");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, Utf8OutputConvertsTheFinishedText) {
  const fs::path target = dir / "out.txt";
  ASSERT_EQ(convertToFile(converter, "/p/\xE9.ppt", target, true), ConvertResult::ok);
  EXPECT_EQ(slurp(target),
            "Apresenta\xC3\xA7\xC3\xA3o: /p/\xC3\xA9.ppt\r\nN\xC3\xBAmero de slides: 1\r\n"
            "---- Slide 1 ----\r\nOl\xC3\xA1\r\n\r\n");
}

TEST_F(OutputFileTest, FailureKeepsTheExistingFileAndLeavesNothingNew) {
  const fs::path target = dir / "out.txt";
  spit(target, "precious");
  reader.openResult = presentation::OpenResult::corrupt;
  EXPECT_EQ(convertToFile(converter, "/p/a.ppt", target, false), ConvertResult::corrupt);
  EXPECT_EQ(slurp(target), "precious");
  EXPECT_EQ(entries(), 1u);

  fs::remove(target);
  EXPECT_EQ(convertToFile(converter, "/p/a.ppt", target, false), ConvertResult::corrupt);
  EXPECT_EQ(entries(), 0u);
}

TEST_F(OutputFileTest, UnwritableDirectoryIsAWriteError) {
  EXPECT_EQ(convertToFile(converter, "/p/a.ppt", dir / "missing" / "out.txt", false),
            ConvertResult::writeError);
}

TEST(InputName, NamesWithoutSlashGetTheCurrentDirectory) {
  EXPECT_EQ(completeInputName("a.ppt", "/home/u"), "/home/u/a.ppt");
  EXPECT_EQ(completeInputName("a.ppt", "/"), "//a.ppt");
  EXPECT_EQ(completeInputName("d/a.ppt", "/home/u"), "d/a.ppt");
  EXPECT_EQ(completeInputName("/x/a.ppt", "/home/u"), "/x/a.ppt");
}

class BatchTest : public OutputFileTest {
 protected:
  int batch(std::vector<std::string_view> args) {
    errors.str("");
    return runBatch(args, reader, errors, dir);
  }
  std::ostringstream errors;
};

TEST_F(BatchTest, EachInputGetsItsTxtBesideIt) {
  spit(dir / "a.ppt", "x");
  spit(dir / "b.pptx", "x");
  EXPECT_EQ(batch({"a.ppt", "b.pptx"}), 0);
  EXPECT_EQ(errors.str(), "");
  const std::string text = slurp(dir / "a.ppt.TXT");
  EXPECT_EQ(text.substr(0, text.find('\r')), "Apresenta\xE7\xE3o: " + (dir / "a.ppt").string());
  EXPECT_TRUE(fs::exists(dir / "b.pptx.TXT"));
  EXPECT_EQ(reader.openedName, (dir / "b.pptx").string());
}

TEST_F(BatchTest, OutputOptionAndUtf8) {
  spit(dir / "a.ppt", "x");
  const std::string out = (dir / "named.txt").string();
  EXPECT_EQ(batch({"a.ppt", "-o", out, "--utf8"}), 0);
  EXPECT_NE(slurp(out).find("Apresenta\xC3\xA7\xC3\xA3o"), std::string::npos);
}

TEST_F(BatchTest, FailuresAreReportedPerFileAndGiveExitCodeOne) {
  spit(dir / "a.ppt", "x");
  reader.openResult = presentation::OpenResult::encrypted;
  EXPECT_EQ(batch({"a.ppt", "missing.ppt"}), 1);
  EXPECT_NE(errors.str().find("a.ppt: apresenta\xC3\xA7\xC3\xA3o protegida por senha\n"),
            std::string::npos);
  EXPECT_NE(errors.str().find("missing.ppt: arquivo inexistente\n"), std::string::npos);
  EXPECT_EQ(entries(), 1u);
}

TEST_F(BatchTest, TheInputIsNeverItsOwnOutput) {
  spit(dir / "a.ppt", "keep");
  EXPECT_EQ(batch({"a.ppt", "-o", (dir / "a.ppt").string()}), 1);
  EXPECT_EQ(slurp(dir / "a.ppt"), "keep");
  EXPECT_TRUE(reader.calls.empty());
}

TEST_F(BatchTest, UsageErrors) {
  EXPECT_EQ(batch({}), 1);
  EXPECT_EQ(batch({"a.ppt", "-o"}), 1);
  EXPECT_EQ(batch({"a.ppt", "b.ppt", "-o", "x.txt"}), 1);
  EXPECT_NE(errors.str().find("--batch"), std::string::npos);
  EXPECT_TRUE(reader.calls.empty());
}

}  // namespace
}  // namespace lamina::converter

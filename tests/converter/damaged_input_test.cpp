// The batch mode over generated presentations read by the program's own
// reader: damaged slides, UTF-8 output and names that are not UTF-8.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "converter/batch.h"
#include "presentation/native_reader.h"
#include "tests/presentation/package_builder.h"

namespace lamina::converter {
namespace {

namespace fs = std::filesystem;
using lamina::testing::para;
using lamina::testing::Parts;
using lamina::testing::slideParts;
using lamina::testing::sp;

class DamagedInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("lamina-damaged-" + std::to_string(std::random_device()()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  int batch(std::vector<std::string_view> args) {
    errors.str("");
    return runBatch(args, reader, errors, dir);
  }
  std::string text(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string header(const std::string& name, int slides) {
    return "Apresenta\xE7\xE3o: " + (dir / name).string() +
           "\r\nN\xFAmero de slides: " + std::to_string(slides) + "\r\n";
  }

  fs::path dir;
  presentation::NativeReader reader;
  std::ostringstream errors;
};

TEST_F(DamagedInputTest, AnUnreadableSlideKeepsItsHeadingAndIsReported) {
  // Listed order: slide3.xml, slide2.xml, slide1.xml.
  const Parts whole = slideParts({sp(para("third")), sp(para("second")), sp(para("first"))});
  Parts missing = whole;
  missing.erase("ppt/slides/slide2.xml");
  Parts truncated = whole;
  truncated["ppt/slides/slide2.xml"].resize(truncated["ppt/slides/slide2.xml"].size() - 40);
  ASSERT_TRUE(lamina::testing::writePackage(dir / "missing.pptx", missing));
  ASSERT_TRUE(lamina::testing::writePackage(dir / "truncated.pptx", truncated));
  for (const std::string name : {"missing.pptx", "truncated.pptx"}) {
    EXPECT_EQ(batch({name}), 1);
    EXPECT_EQ(errors.str(),
              "lamina: " + name + ": slide 2 danificado; o texto dos demais foi gravado\n");
    EXPECT_EQ(text(name + ".TXT"), header(name, 3) +
                                       "---- Slide 1 ----\r\nfirst\r\n\r\n---- Slide 2 ----\r\n"
                                       "---- Slide 3 ----\r\nthird\r\n\r\n");
  }
}

TEST_F(DamagedInputTest, LineFeedsEndParagraphsInEveryText) {
  const std::string picture =
      "<p:pic>" + lamina::testing::nv("Pic", "first line&#10;second line") + "</p:pic>";
  ASSERT_TRUE(lamina::testing::writePackage(
      dir / "a.pptx", slideParts({sp(para("a_x000D_&#10;b&#10;&#10;c")) + picture})));
  EXPECT_EQ(batch({"a.pptx"}), 0);
  EXPECT_EQ(text("a.pptx.TXT"), header("a.pptx", 1) +
                                    "---- Slide 1 ----\r\na\r\nb\r\nc\r\n\r\n"
                                    "ALT: first line\r\nsecond line\r\n\r\n");
}

TEST_F(DamagedInputTest, Utf8OutputKeepsEveryCharacterAndTheName) {
  const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC.pptx";
  const std::string line = "\xE6\x97\xA5\xE6\x9C\xAC \xE2\x86\x92 \xE2\x82\xAC ok";
  ASSERT_TRUE(lamina::testing::writePackage(
      dir / name, slideParts({sp("<a:p><a:r><a:t>" + line + "</a:t></a:r><a:br/></a:p>")})));
  EXPECT_EQ(batch({name, "--utf8"}), 0);
  EXPECT_EQ(text(name + ".TXT"), "Apresenta\xC3\xA7\xC3\xA3o: " + (dir / name).string() +
                                     "\r\nN\xC3\xBAmero de slides: 1\r\n---- Slide 1 ----\r\n" +
                                     line + " \xC2\xB0 \r\n\r\n");
}

TEST_F(DamagedInputTest, ANameThatIsNotUtf8IsReadAsCp1252) {
  const std::string name = "caf\xE9.pptx";
  ASSERT_TRUE(lamina::testing::writePackage(dir / name, slideParts({sp(para("x"))})));
  EXPECT_EQ(batch({name}), 0);
  EXPECT_EQ(text(name + ".TXT").substr(0, header(name, 1).size()), header(name, 1));
  EXPECT_EQ(batch({name, "--utf8", "-o", (dir / "u.txt").string()}), 0);
  EXPECT_EQ(text("u.txt").rfind("Apresenta\xC3\xA7\xC3\xA3o: /", 0), 0u);
  EXPECT_NE(text("u.txt").find("caf\xC3\xA9.pptx\r\n"), std::string::npos);
}

}  // namespace
}  // namespace lamina::converter

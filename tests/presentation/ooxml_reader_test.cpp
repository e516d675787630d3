#include "presentation/ooxml_reader.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

namespace lamina::presentation {
namespace {

namespace fs = std::filesystem;

const std::string kNs =
    R"( xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main")"
    R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")"
    R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")"
    R"( xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")";

const std::string kRootRels =
    R"(<Relationships><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/)"
    R"(officeDocument/2006/relationships/officeDocument" Target="ppt/presentation.xml"/>)"
    R"(</Relationships>)";

std::string presentationXml(int slides) {
  std::string list;
  for (int i = slides; i >= 1; --i) {  // the list order, not the part names, is the order
    list +=
        "<p:sldId id=\"" + std::to_string(255 + i) + "\" r:id=\"rId" + std::to_string(i) + "\"/>";
  }
  return "<p:presentation" + kNs + "><p:sldIdLst>" + list + "</p:sldIdLst></p:presentation>";
}

std::string presentationRels(int slides) {
  std::string rels = "<Relationships>";
  for (int i = 1; i <= slides; ++i) {
    rels += "<Relationship Id=\"rId" + std::to_string(i) + "\" Target=\"slides/slide" +
            std::to_string(i) + ".xml\"/>";
  }
  return rels + "</Relationships>";
}

std::string slideXml(const std::string& tree) {
  return "<p:sld" + kNs + "><p:cSld><p:spTree>" + tree + "</p:spTree></p:cSld></p:sld>";
}

std::string nv(const std::string& kind, const std::string& descr = {}) {
  return "<p:nv" + kind + "Pr><p:cNvPr id=\"2\" name=\"n\"" +
         (descr.empty() ? "" : " descr=\"" + descr + "\"") + "/></p:nv" + kind + "Pr>";
}

std::string sp(const std::string& paragraphs, const std::string& descr = {},
               const std::string& geometry = "rect") {
  return "<p:sp>" + nv("Sp", descr) + "<p:spPr><a:prstGeom prst=\"" + geometry +
         "\"/></p:spPr><p:txBody><a:bodyPr/>" + paragraphs + "</p:txBody></p:sp>";
}

class OoxmlReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = fs::temp_directory_path() /
           ("lamina-ooxml-" + std::to_string(std::random_device()()) + "-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".pptx");
  }
  void TearDown() override { fs::remove(path); }

  ReadOutcome readWith(const std::map<std::string, std::string>& parts) {
    fs::remove(path);
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(z, nullptr);
    for (const auto& [name, content] : parts) {
      zip_source_t* s = zip_source_buffer(z, content.data(), content.size(), 0);
      zip_file_add(z, name.c_str(), s, ZIP_FL_OVERWRITE);
    }
    EXPECT_EQ(zip_close(z), 0);
    return readOoxmlFile(path.string());
  }

  ReadOutcome readSlides(const std::vector<std::string>& trees) {
    std::map<std::string, std::string> parts = {
        {"_rels/.rels", kRootRels},
        {"ppt/presentation.xml", presentationXml(static_cast<int>(trees.size()))},
        {"ppt/_rels/presentation.xml.rels", presentationRels(static_cast<int>(trees.size()))}};
    for (std::size_t i = 0; i < trees.size(); ++i) {
      parts["ppt/slides/slide" + std::to_string(i + 1) + ".xml"] = slideXml(trees[i]);
    }
    return readWith(parts);
  }

  fs::path path;
};

const Shape& shapeAt(const ReadOutcome& r, std::size_t slide, std::size_t index) {
  return r.document.shapes.at(r.document.slides.at(slide).at(index));
}

TEST_F(OoxmlReaderTest, SlidesFollowThePresentationList) {
  const ReadOutcome r = readSlides({sp("<a:p><a:r><a:t>first part</a:t></a:r></a:p>"),
                                    sp("<a:p><a:r><a:t>second part</a:t></a:r></a:p>")});
  ASSERT_EQ(r.result, OpenResult::ok);
  ASSERT_EQ(r.document.slides.size(), 2u);
  EXPECT_EQ(shapeAt(r, 0, 0).text, u"second part");
  EXPECT_EQ(shapeAt(r, 1, 0).text, u"first part");
}

TEST_F(OoxmlReaderTest, TextParagraphsBreaksFieldsAndAlternativeText) {
  const ReadOutcome r = readSlides(
      {sp("<a:p><a:r><a:t>Ol\xC3\xA1 </a:t></a:r><a:r><a:t> </a:t></a:r><a:br/>"
          "<a:fld type=\"slidenum\"><a:t>7</a:t></a:fld></a:p><a:p/><a:p><a:r><a:t>x\ty</a:t>"
          "</a:r></a:p>",
          "ignored"),
       sp("", "a line&#10;twice", "line") + "<p:cxnSp>" + nv("CxnSp", "connector") +
           "</p:cxnSp><p:pic>" + nv("Pic", "Logo \xF0\x9F\x98\x80") + "</p:pic>"});
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_TRUE(shapeAt(r, 1, 0).textFrame);
  // The slide-number field shows the slide's place (2), not its cached text.
  EXPECT_EQ(shapeAt(r, 1, 0).text, u"Ol\u00E1  \v2\r\rx\ty");
  const Shape& line = shapeAt(r, 0, 0);
  EXPECT_FALSE(line.textFrame);
  EXPECT_EQ(line.alternativeText, u"a line\ntwice");
  EXPECT_FALSE(shapeAt(r, 0, 1).textFrame);
  EXPECT_EQ(shapeAt(r, 0, 1).alternativeText, u"connector");
  EXPECT_EQ(shapeAt(r, 0, 2).alternativeText, u"Logo \U0001F600");
}

TEST_F(OoxmlReaderTest, GroupsTablesAndAlternateContent) {
  const std::string cell = "<a:tc><a:txBody><a:p><a:r><a:t>";
  const std::string end = "</a:t></a:r></a:p></a:txBody></a:tc>";
  const std::string table =
      "<p:graphicFrame>" + nv("GraphicFrame", "T") + "<a:graphic><a:graphicData><a:tbl><a:tr>" +
      cell + "a" + end +
      "<a:tc hMerge=\"1\"><a:txBody><a:p><a:r><a:t>hidden</a:t></a:r></a:p></a:txBody></a:tc>"
      "</a:tr><a:tr>" +
      cell + "b" + end + "<a:tc vMerge=\"true\"/>" +
      "</a:tr></a:tbl></a:graphicData></a:graphic>"
      "</p:graphicFrame>";
  const std::string group = "<p:grpSp>" + nv("GrpSp", "G") + "<p:grpSpPr/>" +
                            sp("<a:p><a:r><a:t>in group</a:t></a:r></a:p>") + "</p:grpSp>";
  const std::string alternate =
      "<mc:AlternateContent><mc:Choice Requires=\"p14\">" +
      sp("<a:p><a:r><a:t>choice</a:t></a:r></a:p>") + "</mc:Choice><mc:Fallback>" +
      sp("<a:p><a:r><a:t>fallback</a:t></a:r></a:p>") + "</mc:Fallback></mc:AlternateContent>";
  const ReadOutcome r = readSlides({table + group + alternate});
  ASSERT_EQ(r.result, OpenResult::ok);
  ASSERT_EQ(r.document.slides.at(0).size(), 3u);
  const Shape& t = shapeAt(r, 0, 0);
  EXPECT_FALSE(t.textFrame);
  EXPECT_EQ(t.alternativeText, u"T");
  ASSERT_EQ(t.members.size(), 2u);
  EXPECT_EQ(r.document.shapes[t.members[1]].text, u"b");
  const Shape& g = shapeAt(r, 0, 1);
  EXPECT_EQ(g.alternativeText, u"G");
  ASSERT_EQ(g.members.size(), 1u);
  EXPECT_EQ(r.document.shapes[g.members[0]].text, u"in group");
  EXPECT_EQ(shapeAt(r, 0, 2).text, u"choice");
}

TEST_F(OoxmlReaderTest, OtherPackagesAreNoPresentation) {
  EXPECT_EQ(readWith({{"hello.txt", "not a presentation"}}).result, OpenResult::notPresentation);
  EXPECT_EQ(
      readWith({{"_rels/.rels", kRootRels}, {"ppt/presentation.xml", "<w:document/>"}}).result,
      OpenResult::notPresentation);
}

TEST_F(OoxmlReaderTest, BrokenPackagesAreCorrupt) {
  EXPECT_EQ(
      readWith({{"_rels/.rels", kRootRels}, {"ppt/presentation.xml", "<p:presentation"}}).result,
      OpenResult::corrupt);
  // A slide part that inflates a thousandfold is refused, not read.
  const std::string bomb = slideXml("") + "<!--" + std::string(4u << 20, ' ') + "-->";
  EXPECT_EQ(readWith({{"_rels/.rels", kRootRels},
                      {"ppt/presentation.xml", presentationXml(1)},
                      {"ppt/_rels/presentation.xml.rels", presentationRels(1)},
                      {"ppt/slides/slide1.xml", bomb}})
                .result,
            OpenResult::corrupt);
  const std::uint8_t truncated[] = {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0};
  EXPECT_EQ(readOoxmlMemory(truncated).result, OpenResult::corrupt);
}

TEST(PartNames, RelativeAbsoluteAndEscapingTargets) {
  EXPECT_EQ(resolvePartName("ppt/", "slides/slide1.xml"), "ppt/slides/slide1.xml");
  EXPECT_EQ(resolvePartName("ppt/slides/", "../media/x.png"), "ppt/media/x.png");
  EXPECT_EQ(resolvePartName("ppt/", "/ppt/./slides//s.xml"), "ppt/slides/s.xml");
  EXPECT_EQ(resolvePartName("ppt/", "../../etc/passwd"), "");
}

}  // namespace
}  // namespace lamina::presentation

#include "presentation/ooxml_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "tests/presentation/package_builder.h"

namespace lamina::presentation {
namespace {

namespace fs = std::filesystem;

using namespace lamina::testing;

class OoxmlReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = fs::temp_directory_path() /
           ("lamina-ooxml-" + std::to_string(std::random_device()()) + "-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".pptx");
  }
  void TearDown() override { fs::remove(path); }

  ReadOutcome readWith(const Parts& parts) {
    EXPECT_TRUE(writePackage(path, parts));
    return readOoxmlFile(path.string());
  }

  ReadOutcome readSlides(const std::vector<std::string>& trees) {
    return readWith(slideParts(trees));
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

TEST_F(OoxmlReaderTest, MissingOrUnreadableSlidesKeepTheirPlaceAndNumber) {
  // Listed order: slide3.xml, slide2.xml, slide1.xml.
  const std::vector<std::string> trees = {sp(para("third")), sp(para("second")), sp(para("first"))};
  Parts missing = slideParts(trees);
  missing.erase("ppt/slides/slide2.xml");
  Parts truncated = slideParts(trees);
  std::string& cut = truncated["ppt/slides/slide2.xml"];
  cut.resize(cut.size() / 2);
  Parts unlisted = slideParts(trees);  // the list names a relationship that is not there
  unlisted["ppt/_rels/presentation.xml.rels"] =
      "<Relationships><Relationship Id=\"rId1\" Target=\"slides/slide1.xml\"/><Relationship "
      "Id=\"rId3\" Target=\"slides/slide3.xml\"/></Relationships>";
  for (const Parts* parts : {&missing, &truncated, &unlisted}) {
    const ReadOutcome r = readWith(*parts);
    ASSERT_EQ(r.result, OpenResult::ok);
    ASSERT_EQ(r.document.slides.size(), 3u);
    EXPECT_EQ(r.document.damagedSlides, std::vector<int>{2});
    EXPECT_TRUE(r.document.slides[1].empty());
    EXPECT_EQ(shapeAt(r, 0, 0).text, u"first");
    EXPECT_EQ(shapeAt(r, 2, 0).text, u"third");
  }
}

TEST_F(OoxmlReaderTest, EscapesSlideNumbersAndTextOnLines) {
  const std::string number =
      "<a:p><a:r><a:t>p. </a:t></a:r><a:fld type=\"slidenum\"><a:t>&lt;number&gt;</a:t></a:fld>"
      "<a:fld type=\"datetime1\"><a:t> 1/2/3</a:t></a:fld></a:p>";
  const ReadOutcome r =
      readSlides({sp(para("a_x000D_b_x005F_x0041_"), "x_x000A_y") + sp(number) +
                      sp(para("on a line"), "", "straightConnector1") + sp("<a:p/>", "", "line"),
                  sp(number)});
  ASSERT_EQ(r.result, OpenResult::ok);
  const Shape& escaped = shapeAt(r, 1, 0);
  EXPECT_EQ(escaped.text, u"a\rb_x0041_");  // decoded once, not again
  EXPECT_EQ(escaped.alternativeText, u"x\ny");
  EXPECT_EQ(shapeAt(r, 1, 1).text, u"p. 2 1/2/3");
  EXPECT_EQ(shapeAt(r, 0, 0).text, u"p. 1 1/2/3");
  EXPECT_TRUE(shapeAt(r, 1, 2).textFrame);
  EXPECT_EQ(shapeAt(r, 1, 2).text, u"on a line");
  EXPECT_FALSE(shapeAt(r, 1, 3).textFrame);  // an empty body keeps a line frameless
}

TEST(PartNames, RelativeAbsoluteAndEscapingTargets) {
  EXPECT_EQ(resolvePartName("ppt/", "slides/slide1.xml"), "ppt/slides/slide1.xml");
  EXPECT_EQ(resolvePartName("ppt/slides/", "../media/x.png"), "ppt/media/x.png");
  EXPECT_EQ(resolvePartName("ppt/", "/ppt/./slides//s.xml"), "ppt/slides/s.xml");
  EXPECT_EQ(resolvePartName("ppt/", "../../etc/passwd"), "");
}

}  // namespace
}  // namespace lamina::presentation

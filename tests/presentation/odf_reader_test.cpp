#include "presentation/odf_reader.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "presentation/native_reader.h"

namespace lamina::presentation {
namespace {

namespace fs = std::filesystem;

// Prefixes other than the usual ones, to show that names go by namespace.
const std::string kNs =
    R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:t="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
    R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")"
    R"( xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0")"
    R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
    R"( xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")"
    R"( xmlns:dr3d="urn:oasis:names:tc:opendocument:xmlns:dr3d:1.0")";
const std::string kPresentation = "application/vnd.oasis.opendocument.presentation";

std::string page(const std::string& shapes, const std::string& attributes = {}) {
  return "<draw:page" + attributes + ">" + shapes + "</draw:page>";
}

std::string body(const std::vector<std::string>& pages) {
  std::string all;
  for (const std::string& p : pages) all += p;
  return "<office:body><office:presentation>" + all + "</office:presentation></office:body>";
}

std::string flat(const std::vector<std::string>& pages, const std::string& type = kPresentation) {
  return "<?xml version=\"1.0\"?>\n<office:document" + kNs + " office:mimetype=\"" + type +
         "\"><office:master-styles><style:master-page><draw:frame><draw:text-box><t:p>master"
         "</t:p></draw:text-box></draw:frame></style:master-page></office:master-styles>" +
         body(pages) + "</office:document>";
}

std::string content(const std::vector<std::string>& pages) {
  return "<office:document-content" + kNs + ">" + body(pages) + "</office:document-content>";
}

std::string textBox(const std::string& paragraphs, const std::string& attributes = {}) {
  return "<draw:frame" + attributes + "><draw:text-box>" + paragraphs +
         "</draw:text-box></draw:frame>";
}

class OdfReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base = fs::temp_directory_path() /
           ("lamina-odf-" + std::to_string(std::random_device()()) + "-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  }
  void TearDown() override { fs::remove(path); }

  // Written to a file whose name says nothing about its content.
  ReadOutcome readFlat(const std::string& xml) {
    path = base.string() + ".pptx";
    std::ofstream(path, std::ios::binary) << xml;
    return readPresentationFile(path.string());
  }

  ReadOutcome readZip(const std::map<std::string, std::string>& members,
                      bool mimetypeFirst = true) {
    path = base.string() + ".odp";
    fs::remove(path);
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(z, nullptr);
    auto add = [&](const std::string& name, const std::string& data) {
      zip_source_t* s = zip_source_buffer(z, data.data(), data.size(), 0);
      const zip_int64_t index = zip_file_add(z, name.c_str(), s, ZIP_FL_OVERWRITE);
      zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    };
    if (mimetypeFirst && members.count("mimetype")) add("mimetype", members.at("mimetype"));
    for (const auto& [name, data] : members) {
      if (!mimetypeFirst || name != "mimetype") add(name, data);
    }
    EXPECT_EQ(zip_close(z), 0);
    return readPresentationFile(path.string());
  }

  fs::path base;
  fs::path path;
};

const Shape& at(const ReadOutcome& r, std::size_t slide, std::size_t index) {
  return r.document.shapes.at(r.document.slides.at(slide).at(index));
}

const Shape& member(const ReadOutcome& r, const Shape& s, std::size_t index) {
  return r.document.shapes.at(s.members.at(index));
}

TEST_F(OdfReaderTest, SlidesAndEveryKindOfShape) {
  const std::string picture =
      "<draw:frame><draw:image><t:p>not text</t:p></draw:image><svg:title>T</svg:title>"
      "<svg:desc>Foto\nda sala</svg:desc></draw:frame>";
  const std::string shapes =
      textBox("<t:p>T\xC3\xADtulo</t:p>", " presentation:class=\"title\"") +
      "<draw:frame presentation:placeholder=\"true\"><draw:text-box/><svg:desc>d</svg:desc>"
      "</draw:frame>" +
      picture + "<draw:frame><draw:object/></draw:frame>" +
      "<draw:a><draw:custom-shape><t:p>link</t:p><draw:enhanced-geometry/></draw:custom-shape>"
      "</draw:a>" +
      "<draw:g><svg:desc>Grupo</svg:desc><draw:rect><t:p>a</t:p></draw:rect>"
      "<draw:g><draw:ellipse><t:p>b</t:p></draw:ellipse></draw:g></draw:g>" +
      "<draw:line><t:p>Divisa</t:p></draw:line>"
      "<draw:connector><svg:desc>Seta</svg:desc><t:p/></draw:connector>"
      "<draw:measure><t:p>3.94<t:s/>\"</t:p></draw:measure><dr3d:scene><svg:desc>cubo</svg:desc>"
      "</dr3d:scene><presentation:notes>" +
      textBox("<t:p>notes</t:p>") + "</presentation:notes>";
  const ReadOutcome r = readFlat(flat(
      {page(shapes), page("", " presentation:visibility=\"hidden\""), page(textBox("<t:p/>"))}));
  ASSERT_EQ(r.result, OpenResult::ok);
  ASSERT_EQ(r.document.slides.size(), 3u);
  ASSERT_EQ(r.document.slides[0].size(), 10u);
  EXPECT_EQ(at(r, 0, 0).text, u"T\u00EDtulo");
  EXPECT_TRUE(at(r, 0, 1).textFrame);  // the empty placeholder gives nothing
  EXPECT_EQ(at(r, 0, 1).text, u"");
  EXPECT_FALSE(at(r, 0, 2).textFrame);
  EXPECT_EQ(at(r, 0, 2).alternativeText, u"Foto\rda sala");
  EXPECT_FALSE(at(r, 0, 3).textFrame);
  EXPECT_EQ(at(r, 0, 3).alternativeText, u"");
  EXPECT_EQ(at(r, 0, 4).text, u"link");
  const Shape& group = at(r, 0, 5);
  EXPECT_EQ(group.alternativeText, u"Grupo");
  ASSERT_EQ(group.members.size(), 2u);
  EXPECT_EQ(member(r, group, 0).text, u"a");
  EXPECT_EQ(member(r, member(r, group, 1), 0).text, u"b");
  EXPECT_TRUE(at(r, 0, 6).textFrame);
  EXPECT_EQ(at(r, 0, 6).text, u"Divisa");
  EXPECT_FALSE(at(r, 0, 7).textFrame);
  EXPECT_EQ(at(r, 0, 7).alternativeText, u"Seta");
  EXPECT_EQ(at(r, 0, 8).text, u"3.94 \"");
  EXPECT_EQ(at(r, 0, 9).alternativeText, u"cubo");
  EXPECT_TRUE(r.document.slides[1].empty());
  EXPECT_EQ(at(r, 2, 0).text, u"");
}

TEST_F(OdfReaderTest, WhiteSpaceSpacesTabsBreaksAndFields) {
  const std::string paragraphs =
      "<t:p>  a \n\t b<t:span> </t:span> c </t:p>"
      "<t:p><t:s t:c=\"3\"/>x <t:s/> y<t:tab/> z<t:line-break/> w<t:s t:c=\"zero\"/></t:p>"
      "<t:list><t:list-item><t:number>1.</t:number><t:p>item</t:p><t:list><t:list-item>"
      "<t:h>sub</t:h></t:list-item></t:list></t:list-item></t:list>"
      "<t:section><t:p>p. <t:page-number>99</t:page-number> de <t:page-count>3</t:page-count>"
      "</t:p></t:section>"
      "<t:p>autor: <t:author-name> Jos\xC3\xA9</t:author-name><t:note><t:note-citation>1"
      "</t:note-citation><t:note-body><t:p>nota</t:p></t:note-body></t:note>"
      "<office:annotation><t:p>coment\xC3\xA1rio</t:p></office:annotation><t:ruby>"
      "<t:ruby-base>base</t:ruby-base><t:ruby-text>rt</t:ruby-text></t:ruby>"
      "<draw:frame><draw:text-box><t:p>anchored</t:p></draw:text-box></draw:frame></t:p>";
  const std::string cellWithNumber =
      "<draw:frame><table:table><table:table-row><table:table-cell><t:p><t:page-number/>"
      "</t:p></table:table-cell></table:table-row></table:table></draw:frame>";
  const ReadOutcome r = readFlat(flat({page(""), page(textBox(paragraphs) + cellWithNumber)}));
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_EQ(at(r, 1, 0).text,
            u"a b c \r   x   y\t z\v w \ritem\rsub\rp. 2 de 3\rautor: Jos\u00E91base");
  EXPECT_EQ(member(r, at(r, 1, 1), 0).text, u"2");
}

TEST_F(OdfReaderTest, TablesGiveEachCellOnceRowByRow) {
  const std::string cell = "<table:table-cell><t:p>";
  const std::string end = "</t:p></table:table-cell>";
  const std::string table =
      "<draw:frame><table:table><table:table-column/><table:table-header-rows><table:table-row>" +
      cell + "A" + end + "<table:covered-table-cell><t:p>hidden</t:p></table:covered-table-cell>" +
      "</table:table-row></table:table-header-rows><table:table-row-group><table:table-rows>"
      "<table:table-row table:number-rows-repeated=\"2\">" +
      cell + "b" + end + "<table:table-cell table:number-columns-repeated=\"2\"/>" +
      "</table:table-row></table:table-rows></table:table-row-group></table:table>"
      "<svg:desc>Notas</svg:desc></draw:frame>";
  const ReadOutcome r = readFlat(flat({page(table)}));
  ASSERT_EQ(r.result, OpenResult::ok);
  const Shape& t = at(r, 0, 0);
  EXPECT_FALSE(t.textFrame);
  EXPECT_EQ(t.alternativeText, u"Notas");
  ASSERT_EQ(t.members.size(), 7u);
  EXPECT_EQ(member(r, t, 0).text, u"A");
  EXPECT_EQ(member(r, t, 1).text, u"b");
  EXPECT_EQ(member(r, t, 4).text, u"b");
  EXPECT_TRUE(member(r, t, 6).textFrame);
  EXPECT_EQ(member(r, t, 6).text, u"");
}

TEST_F(OdfReaderTest, PackagesAreReadByContentAndRefusedForTheirReason) {
  const std::string manifest =
      "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
      "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" +
      kPresentation + "\"/></manifest:manifest>";
  const std::string deck = content({page(textBox("<t:p>ok</t:p>"))});
  ReadOutcome r = readZip({{"mimetype", kPresentation + "-template"},
                           {"META-INF/manifest.xml", manifest},
                           {"content.xml", deck}});
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_EQ(at(r, 0, 0).text, u"ok");
  // Without the mimetype first the package is still recognised.
  EXPECT_EQ(readZip({{"META-INF/manifest.xml", manifest}, {"content.xml", deck}}, false).result,
            OpenResult::ok);

  std::string encrypted = manifest;
  encrypted.insert(encrypted.find("/></manifest:manifest>"),
                   "><manifest:encryption-data/></manifest:file-entry");
  encrypted.erase(encrypted.find("/></manifest:manifest>"), 1);
  EXPECT_EQ(readZip({{"mimetype", kPresentation},
                     {"META-INF/manifest.xml", encrypted},
                     {"content.xml", "\x8F\x01 ciphertext"}})
                .result,
            OpenResult::encrypted);
  const std::map<std::string, std::map<std::string, std::string>> corrupt = {
      {"text document",
       {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", deck}}},
      {"no content", {{"mimetype", kPresentation}, {"META-INF/manifest.xml", manifest}}},
      {"cut content", {{"mimetype", kPresentation}, {"content.xml", deck.substr(0, 200)}}},
      {"bad manifest", {{"META-INF/manifest.xml", "<manifest"}, {"content.xml", deck}}},
      {"drawing manifest",
       {{"META-INF/manifest.xml",
         std::string(manifest).replace(manifest.find(kPresentation), kPresentation.size(),
                                       "application/x")},
        {"content.xml", deck}}},
      {"no presentation body",
       {{"mimetype", kPresentation},
        {"content.xml", "<office:document-content" + kNs +
                            "><office:body><office:drawing/></office:body>"
                            "</office:document-content>"}}},
  };
  for (const auto& [why, members] : corrupt) {
    EXPECT_EQ(readZip(members).result, OpenResult::corrupt) << why;
  }
  EXPECT_EQ(readZip({{"readme.txt", "hello"}}).result, OpenResult::notPresentation);
  const std::uint8_t cut[] = {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0};
  EXPECT_EQ(readOdfMemory(cut).result, OpenResult::corrupt);
}

TEST_F(OdfReaderTest, FlatDocumentsAreRefusedForTheirReason) {
  const std::string deck = flat({page(textBox("<t:p>ok</t:p>"))});
  EXPECT_EQ(readFlat(deck.substr(0, deck.size() / 2)).result, OpenResult::corrupt);
  EXPECT_EQ(readFlat(flat({page("")}, "application/vnd.oasis.opendocument.graphics")).result,
            OpenResult::corrupt);
  EXPECT_EQ(readFlat("<svg xmlns=\"http://www.w3.org/2000/svg\"/>").result,
            OpenResult::notPresentation);
  EXPECT_EQ(readFlat("plain text, no markup at all").result, OpenResult::notPresentation);
}

TEST_F(OdfReaderTest, ZipBombIsRefusedUnread) {
  // A content part that inflates a thousandfold.
  const std::string deck = content({page("")});
  const std::string bomb =
      deck.substr(0, deck.size() - 2) + "<!--" + std::string(4u << 20, ' ') + "-->";
  path = base.string() + ".odp";
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(z, nullptr);
  zip_file_add(z, "content.xml", zip_source_buffer(z, bomb.data(), bomb.size(), 0), 0);
  ASSERT_EQ(zip_close(z), 0);
  ASSERT_LT(fs::file_size(path), bomb.size() / 200);
  EXPECT_EQ(readPresentationFile(path.string()).result, OpenResult::corrupt);
}

TEST_F(OdfReaderTest, TenThousandDeepNestingIsCutNotFollowed) {
  constexpr int kDepth = 10000;
  std::string groups, spans;
  for (int i = 0; i < kDepth; ++i) groups += "<draw:g>";
  groups += "<draw:rect><t:p>deep</t:p></draw:rect>";
  for (int i = 0; i < kDepth; ++i) groups += "</draw:g>";
  for (int i = 0; i < kDepth; ++i) spans += "<t:span>x";
  for (int i = 0; i < kDepth; ++i) spans += "</t:span>";
  const ReadOutcome r = readFlat(
      flat({page(groups + textBox("<t:p>" + spans + "</t:p>") + textBox("<t:p>end</t:p>"))}));
  ASSERT_EQ(r.result, OpenResult::ok);
  ASSERT_EQ(r.document.slides[0].size(), 3u);
  int levels = 0;
  for (const Shape* s = &at(r, 0, 0); !s->members.empty(); s = &member(r, *s, 0)) ++levels;
  EXPECT_LT(levels, kMaxNesting + 1);
  EXPECT_GT(levels, 8);
  const std::u16string text = at(r, 0, 1).text;
  EXPECT_GT(text.size(), 100u);
  EXPECT_LT(text.size(), static_cast<std::size_t>(kDepth));
  EXPECT_EQ(at(r, 0, 2).text, u"end");
}

}  // namespace
}  // namespace lamina::presentation

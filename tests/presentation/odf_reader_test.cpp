#include "presentation/odf_reader.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "presentation/native_reader.h"

namespace lamina::presentation {
namespace {

namespace fs = std::filesystem;

// The text prefix is not the usual one: names go by namespace.
const std::string kNs =
    R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:t="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
    R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")"
    R"( xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0")"
    R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
    R"( xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")"
    R"( xmlns:dr3d="urn:oasis:names:tc:opendocument:xmlns:dr3d:1.0")";
const std::string kType = "application/vnd.oasis.opendocument.presentation";

std::string body(const std::string& pages) {
  return "<office:body><office:presentation>" + pages + "</office:presentation></office:body>";
}
// A flat document; its master page holds text that is never a slide's.
std::string flat(const std::string& pages, const std::string& type = kType) {
  return "<?xml version=\"1.0\"?>\n<office:document" + kNs + " office:mimetype=\"" + type +
         "\"><office:master-styles><style:master-page><draw:frame><draw:text-box><t:p>master"
         "</t:p></draw:text-box></draw:frame></style:master-page></office:master-styles>" +
         body(pages) + "</office:document>";
}
std::string page(const std::string& shapes) {
  return "<draw:page>" + shapes + "</draw:page>";
}
std::string box(const std::string& paragraphs) {
  return "<draw:frame><draw:text-box>" + paragraphs + "</draw:text-box></draw:frame>";
}

// One line per document: "|" starts a slide, T(text) is a text frame,
// A(alternative text) any other shape, {...} its members.
std::u16string render(const ReadOutcome& r, ShapeId id) {
  const Shape& s = r.document.shapes.at(id);
  std::u16string out = s.textFrame ? u"T(" + s.text + u")" : u"A(" + s.alternativeText + u")";
  if (s.members.empty()) return out;
  out += u"{";
  for (ShapeId m : s.members) out += render(r, m);
  return out + u"}";
}
std::u16string render(const ReadOutcome& r) {
  std::u16string out;
  for (const auto& slide : r.document.slides) {
    out += u"|";
    for (ShapeId id : slide) out += render(r, id);
  }
  return out;
}

class OdfReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base = fs::temp_directory_path() /
           ("lamina-odf-" + std::to_string(std::random_device()()) + "-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  }
  void TearDown() override { fs::remove(path); }

  // Written under a name that says nothing of the content.
  ReadOutcome readFlat(const std::string& xml) {
    path = base.string() + ".pptx";
    std::ofstream(path, std::ios::binary) << xml;
    return readPresentationFile(path.string());
  }

  // Members in map order, "mimetype" first and stored unless told otherwise.
  ReadOutcome readZip(const std::map<std::string, std::string>& members, bool mimetypeFirst = true,
                      zip_int32_t method = ZIP_CM_STORE) {
    path = base.string() + ".odp";
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(z, nullptr);
    auto add = [&](const std::string& name, const std::string& data) {
      const zip_int64_t i =
          zip_file_add(z, name.c_str(), zip_source_buffer(z, data.data(), data.size(), 0), 0);
      zip_set_file_compression(z, static_cast<zip_uint64_t>(i), method, 0);
    };
    if (mimetypeFirst && members.count("mimetype")) add("mimetype", members.at("mimetype"));
    for (const auto& [name, data] : members) {
      if (!mimetypeFirst || name != "mimetype") add(name, data);
    }
    EXPECT_EQ(zip_close(z), 0);
    return readPresentationFile(path.string());
  }

  fs::path base, path;
};

TEST_F(OdfReaderTest, EveryKindOfShape) {
  const std::string shapes =
      box("<t:p>T\xC3\xADtulo</t:p>") +
      "<draw:frame presentation:placeholder=\"true\"><draw:text-box/><svg:desc>d</svg:desc>"
      "</draw:frame><draw:frame><draw:image><t:p>no</t:p></draw:image><svg:title>no</svg:title>"
      "<svg:desc>Foto\nda sala</svg:desc></draw:frame><draw:frame><draw:object/></draw:frame>"
      "<draw:a><draw:custom-shape><t:p>link</t:p><draw:enhanced-geometry/></draw:custom-shape>"
      "</draw:a><draw:g><svg:desc>G</svg:desc><draw:rect><t:p>a</t:p></draw:rect><draw:g>"
      "<draw:ellipse/></draw:g></draw:g><draw:line><t:p>Divisa</t:p></draw:line>"
      "<draw:connector><svg:desc>Seta</svg:desc><t:p/></draw:connector><draw:measure>"
      "<t:p>3.94<t:s/>\"</t:p></draw:measure><dr3d:scene><svg:desc>cubo</svg:desc></dr3d:scene>"
      "<presentation:notes>" +
      box("<t:p>notes</t:p>") + "</presentation:notes>";
  const std::string table =
      "<draw:frame><table:table><table:table-column/><table:table-header-rows><table:table-row>"
      "<table:table-cell><t:p>A</t:p></table:table-cell><table:covered-table-cell><t:p>no</t:p>"
      "</table:covered-table-cell></table:table-row></table:table-header-rows><table:table-rows>"
      "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell><t:p>b</t:p>"
      "</table:table-cell><table:table-cell table:number-columns-repeated=\"2\"/></table:table-row>"
      "</table:table-rows></table:table><svg:desc>Notas</svg:desc></draw:frame>";
  const ReadOutcome r = readFlat(flat(page(shapes) + page("") + page(table)));
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_EQ(render(r),
            u"|T(T\u00EDtulo)T()A(Foto\rda sala)A()T(link)A(G){T(a)A(){T()}}T(Divisa)A(Seta)"
            u"T(3.94 \")A(cubo)||A(Notas){T(A)T(b)T()T()T(b)T()T()}");
}

TEST_F(OdfReaderTest, WhiteSpaceSpacesTabsBreaksAndFields) {
  const std::string paragraphs =
      "<t:p>  a \n\t b<t:span> </t:span> c </t:p>"
      "<t:p><t:s t:c=\"3\"/>x <t:s/> y<t:tab/> z<t:line-break/> w<t:s t:c=\"zero\"/></t:p>"
      "<t:list><t:list-item><t:number>1.</t:number><t:p>item</t:p><t:list><t:list-item>"
      "<t:h>sub</t:h></t:list-item></t:list></t:list-item></t:list>"
      "<t:section><t:p>p. <t:page-number>99</t:page-number> de <t:page-count>3</t:page-count>"
      "</t:p></t:section><t:p>autor: <t:author-name> Jos\xC3\xA9</t:author-name><t:note>"
      "<t:note-citation>1</t:note-citation><t:note-body><t:p>nota</t:p></t:note-body></t:note>"
      "<office:annotation><t:p>c</t:p></office:annotation><t:ruby><t:ruby-base>base"
      "</t:ruby-base><t:ruby-text>rt</t:ruby-text></t:ruby>" +
      box("<t:p>anchored</t:p>") + "</t:p>";
  const std::string numberInCell =
      "<draw:frame><table:table><table:table-row><table:table-cell><t:p><t:page-number/>"
      "</t:p></table:table-cell></table:table-row></table:table></draw:frame>";
  const ReadOutcome r = readFlat(flat(page("") + page(box(paragraphs) + numberInCell)));
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_EQ(render(r),
            u"||T(a b c \r   x   y\t z\v w \ritem\rsub\rp. 2 de 3\rautor: Jos\u00E91base)"
            u"A(){T(2)}");
}

TEST_F(OdfReaderTest, PackagesAreReadByContentAndRefusedForTheirReason) {
  const std::string manifest =
      "<m:manifest xmlns:m=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\"><m:file-entry "
      "m:full-path=\"/\" m:media-type=\"" +
      kType + "\"/>";
  const std::string deck = "<office:document-content" + kNs + ">" +
                           body(page(box("<t:p>ok</t:p>"))) + "</office:document-content>";
  const ReadOutcome r = readZip({{"mimetype", kType + "-template"},
                                 {"META-INF/manifest.xml", manifest + "</m:manifest>"},
                                 {"content.xml", deck}});
  EXPECT_EQ(render(r), u"|T(ok)");
  EXPECT_EQ(readZip({{"content.xml", deck}}, false).result, OpenResult::ok);
  EXPECT_EQ(readZip({{"mimetype", kType},
                     {"META-INF/manifest.xml",
                      manifest + "<m:file-entry m:full-path=\"content.xml\"><m:encryption-data/>"
                                 "</m:file-entry></m:manifest>"},
                     {"content.xml", "\x8F\x01 ciphertext"}})
                .result,
            OpenResult::encrypted);
  const std::map<std::string, std::map<std::string, std::string>> corrupt = {
      {"text", {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", deck}}},
      {"no content", {{"mimetype", kType}, {"META-INF/manifest.xml", manifest + "</m:manifest>"}}},
      {"cut content", {{"mimetype", kType}, {"content.xml", deck.substr(0, 200)}}},
      {"bad manifest", {{"META-INF/manifest.xml", manifest}, {"content.xml", deck}}},
      {"no presentation",
       {{"content.xml", "<office:document-content" + kNs +
                            "><office:body><office:drawing/></office:body>"
                            "</office:document-content>"}}},
  };
  for (const auto& [why, members] : corrupt) {
    EXPECT_EQ(readZip(members).result, OpenResult::corrupt) << why;
  }
  EXPECT_EQ(readZip({{"readme.txt", "hello"}}).result, OpenResult::notPresentation);
  const std::uint8_t cut[] = {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0};
  EXPECT_EQ(readOdfMemory(cut).result, OpenResult::corrupt);

  const std::string full = flat(page(""));
  EXPECT_EQ(readFlat(full.substr(0, full.size() / 2)).result, OpenResult::corrupt);
  EXPECT_EQ(readFlat(flat(page(""), "application/vnd.oasis.opendocument.graphics")).result,
            OpenResult::corrupt);
  EXPECT_EQ(readFlat("<svg xmlns=\"http://www.w3.org/2000/svg\"/>").result,
            OpenResult::notPresentation);
}

TEST_F(OdfReaderTest, ZipBombIsRefusedUnread) {
  const std::string bomb = "<office:document-content" + kNs + "><!--" + std::string(4u << 20, ' ') +
                           "-->" + body("") + "</office:document-content>";
  EXPECT_EQ(readZip({{"content.xml", bomb}}, false, ZIP_CM_DEFLATE).result, OpenResult::corrupt);
  EXPECT_LT(fs::file_size(path), bomb.size() / 200);
}

TEST_F(OdfReaderTest, TenThousandDeepNestingIsCutNotFollowed) {
  constexpr int kDepth = 10000;
  std::string groups, spans;
  for (int i = 0; i < kDepth; ++i) groups += "<draw:g>";
  groups += "<draw:rect><t:p>deep</t:p></draw:rect>";
  for (int i = 0; i < kDepth; ++i) groups += "</draw:g>";
  for (int i = 0; i < kDepth; ++i) spans += "<t:span>x";
  for (int i = 0; i < kDepth; ++i) spans += "</t:span>";
  const ReadOutcome r =
      readFlat(flat(page(groups + box("<t:p>" + spans + "</t:p>") + box("<t:p>end</t:p>"))));
  ASSERT_EQ(r.result, OpenResult::ok);
  const std::u16string text = render(r);
  EXPECT_EQ(text.find(u"deep"), std::u16string::npos);
  const std::size_t levels = std::count(text.begin(), text.end(), u'{');
  EXPECT_GT(levels, 8u);
  EXPECT_LE(levels, static_cast<std::size_t>(kMaxNesting));
  const std::size_t xs = std::count(text.begin(), text.end(), u'x');
  EXPECT_GT(xs, 100u);
  EXPECT_LT(xs, static_cast<std::size_t>(kDepth));
  EXPECT_TRUE(text.ends_with(u"T(end)"));
}

}  // namespace
}  // namespace lamina::presentation

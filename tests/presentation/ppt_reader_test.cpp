#include "presentation/ppt_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lamina::presentation {
namespace {

// Builds record streams of the binary format.
using Bytes = std::string;

Bytes u16(unsigned v) {
  return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
Bytes u32(std::uint32_t v) {
  return u16(v & 0xFFFF) + u16(v >> 16);
}
Bytes wide(std::u16string_view s) {
  Bytes out;
  for (char16_t c : s) out += u16(c);
  return out;
}
Bytes atom(unsigned type, const Bytes& body, unsigned instance = 0) {
  return u16(instance << 4) + u16(type) + u32(static_cast<std::uint32_t>(body.size())) + body;
}
Bytes container(unsigned type, const std::vector<Bytes>& children, unsigned instance = 0) {
  Bytes body;
  for (const Bytes& c : children) body += c;
  return u16(0xF | (instance << 4)) + u16(type) + u32(static_cast<std::uint32_t>(body.size())) +
         body;
}

Bytes fsp(unsigned shapeType, std::uint32_t flags = 0) {
  return atom(0xF00A, u32(1024) + u32(flags), shapeType);
}
// Properties: (id, value) pairs, plus the alternative text as a complex one.
Bytes fopt(std::vector<std::pair<unsigned, std::uint32_t>> simple, std::u16string alt = {}) {
  Bytes table, complex;
  unsigned count = static_cast<unsigned>(simple.size());
  if (!alt.empty()) {
    // A complex property before the alternative text, to place its data.
    const Bytes other = wide(u"name");
    table += u16(0x8380) + u32(static_cast<std::uint32_t>(other.size()));
    complex += other;
    const Bytes text = wide(alt) + u16(0);
    table += u16(0x8381) + u32(static_cast<std::uint32_t>(text.size()));
    complex += text;
    count += 2;
  }
  for (auto [id, value] : simple) table += u16(id) + u32(value);
  return atom(0xF00B, table + complex, count);
}
Bytes childAnchor(int left, int top) {
  return atom(0xF00F, u32(static_cast<std::uint32_t>(left)) + u32(static_cast<std::uint32_t>(top)) +
                          u32(0) + u32(0));
}
Bytes charsBox(std::u16string text) {
  return container(0xF00D, {atom(0x0F9F, u32(4)), atom(0x0FA0, wide(text))});
}
Bytes bytesBox(const Bytes& latin1) {
  return container(0xF00D, {atom(0x0F9F, u32(4)), atom(0x0FA8, latin1)});
}
Bytes refBox(std::uint32_t index) {
  return container(0xF00D, {atom(0x0F9E, u32(index))});
}
Bytes shape(const std::vector<Bytes>& parts) {
  return container(0xF004, parts);
}
Bytes patriarch() {
  return shape({fsp(0, 0x5)});
}
Bytes slide(const std::vector<Bytes>& shapes) {
  std::vector<Bytes> tree{patriarch()};
  tree.insert(tree.end(), shapes.begin(), shapes.end());
  return container(0x03EE, {container(0x040C, {container(0xF002, {container(0xF003, tree)})})});
}
Bytes slidePersist(std::uint32_t ref) {
  return atom(0x03F3, u32(ref) + u32(0) + u32(0) + u32(256) + u32(0));
}

struct File {
  Bytes stream;
  Bytes user;
  std::uint32_t lastEdit = 0;

  std::uint32_t append(const Bytes& record) {
    const auto at = static_cast<std::uint32_t>(stream.size());
    stream += record;
    return at;
  }
  // One save: a persist directory of consecutive ids from first, and its edit.
  std::uint32_t save(std::uint32_t first, const std::vector<std::uint32_t>& offsets,
                     std::uint32_t documentRef = 1, std::optional<std::uint32_t> previous = {}) {
    Bytes dir = u32(first | (static_cast<std::uint32_t>(offsets.size()) << 20));
    for (auto o : offsets) dir += u32(o);
    const std::uint32_t dirAt = append(atom(0x1772, dir));
    const std::uint32_t editAt =
        append(atom(0x0FF5, u32(0) + u16(0) + Bytes{0, 3} + u32(previous.value_or(lastEdit)) +
                                u32(dirAt) + u32(documentRef) + u32(10) + u16(1) + u16(0)));
    lastEdit = editAt;
    setUser(editAt);
    return editAt;
  }
  void patch32(std::uint32_t at, std::uint32_t value) { stream.replace(at, 4, u32(value)); }
  void setUser(std::uint32_t edit, std::uint32_t token = 0xE391C05F) {
    user = atom(0x0FF6,
                u32(20) + u32(token) + u32(edit) + u16(0) + u16(0x03F4) + Bytes{3, 0} + u16(0));
  }
  ReadOutcome read() {
    MemorySource doc({reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()});
    MemorySource cu({reinterpret_cast<const std::uint8_t*>(user.data()), user.size()});
    return readPptStreams(doc, &cu);
  }
};

Bytes documentWith(const std::vector<Bytes>& list) {
  return container(0x03E8, {atom(0x03E9, Bytes(40, '\0')), container(0x0FF0, list, 0)});
}

const Shape& at(const ReadOutcome& r, std::size_t slideIndex, std::size_t shapeIndex) {
  return r.document.shapes.at(r.document.slides.at(slideIndex).at(shapeIndex));
}

TEST(PptReader, SlidesInListOrderWithTextsAltTextAndShapeKinds) {
  File f;
  const auto doc =
      f.append(documentWith({slidePersist(3), atom(0x0F9F, u32(0)),
                             atom(0x0FA0, wide(u"Title\rline\vbreak")), slidePersist(2)}));
  const auto s2 = f.append(slide({shape({fsp(202), bytesBox("caf\xE9\x92")})}));
  const auto s3 = f.append(slide({
      shape({fsp(1), refBox(0)}), shape({fsp(75), fopt({}, u"Logo")}),
      shape({fsp(20), fopt({}, u"a line")}), shape({fsp(1, 0x10), fopt({}, u"ole")}),
      shape({fsp(1)}), shape({fsp(1), charsBox(u"")}),  // an empty atom: a zero-length read
  }));
  f.save(1, {doc, s2, s3});
  const ReadOutcome r = f.read();
  ASSERT_EQ(r.result, OpenResult::ok);
  ASSERT_EQ(r.document.slides.size(), 2u);
  EXPECT_EQ(at(r, 0, 0).textView(), u"Title\rline\vbreak");
  EXPECT_TRUE(at(r, 0, 0).textFrame);
  EXPECT_FALSE(at(r, 0, 1).textFrame);
  EXPECT_EQ(at(r, 0, 1).alternativeText, u"Logo");
  EXPECT_FALSE(at(r, 0, 2).textFrame);
  EXPECT_EQ(at(r, 0, 2).alternativeText, u"a line");
  EXPECT_FALSE(at(r, 0, 3).textFrame);
  EXPECT_TRUE(at(r, 0, 4).textFrame);
  EXPECT_EQ(at(r, 0, 4).text, u"");
  EXPECT_TRUE(at(r, 0, 5).textFrame);
  EXPECT_EQ(at(r, 0, 5).text, u"");
  // 8-bit text is the low byte of UTF-16, not cp1252.
  EXPECT_EQ(at(r, 1, 0).text, u"caf\u00E9\u0092");
}

TEST(PptReader, TablesListCellsRowByRowWithoutBorderLines) {
  File f;
  const auto doc = f.append(documentWith({slidePersist(2)}));
  auto cell = [](int left, int top, std::u16string text) {
    return shape({fsp(1), childAnchor(left, top), charsBox(std::move(text))});
  };
  const Bytes table = container(
      0xF003, {shape({fsp(0, 0x1), fopt({{0x039F, 1}})}), cell(100, 50, u"d"), cell(0, 50, u"c"),
               shape({fsp(20), childAnchor(0, 0)}), cell(100, 0, u"b"), cell(0, 0, u"a")});
  const Bytes group = container(
      0xF003, {shape({fsp(0, 0x1), fopt({}, u"G")}), cell(100, 0, u"y"), cell(0, 0, u"x")});
  const auto s = f.append(slide({table, group}));
  f.save(1, {doc, s});
  const ReadOutcome r = f.read();
  ASSERT_EQ(r.result, OpenResult::ok);
  std::u16string cells;
  for (ShapeId id : at(r, 0, 0).members) cells += r.document.shapes[id].text;
  EXPECT_EQ(cells, u"abcd");
  const Shape& g = at(r, 0, 1);
  EXPECT_FALSE(g.textFrame);
  EXPECT_EQ(g.alternativeText, u"G");
  ASSERT_EQ(g.members.size(), 2u);
  EXPECT_EQ(r.document.shapes[g.members[0]].text, u"y");  // groups keep stored order
}

TEST(PptReader, TheLastEditWinsAndOlderEntriesFillTheRest) {
  File f;
  const auto doc = f.append(documentWith({slidePersist(2), slidePersist(3)}));
  const auto s2 = f.append(slide({shape({fsp(1), charsBox(u"one")})}));
  const auto s3 = f.append(slide({shape({fsp(1), charsBox(u"old")})}));
  f.save(1, {doc, s2, s3});
  const auto s3new = f.append(slide({shape({fsp(1), charsBox(u"new")})}));
  f.save(3, {s3new});
  const ReadOutcome r = f.read();
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_EQ(at(r, 0, 0).text, u"one");
  EXPECT_EQ(at(r, 1, 0).text, u"new");
}

TEST(PptReader, BrokenEditChainsEndAndFallBackToTheStoredRecords) {
  auto build = [](File& f) {
    const auto doc = f.append(documentWith({slidePersist(2)}));
    const auto s = f.append(slide({shape({fsp(1), charsBox(u"text")})}));
    return f.save(1, {doc, s});
  };
  File self;
  const auto edit = build(self);
  self.patch32(edit + 16, edit);  // its own predecessor
  File pair;
  const auto a = build(pair);
  const auto b = pair.save(3, {0});
  pair.patch32(a + 16, b);
  File lost;
  build(lost);
  lost.setUser(static_cast<std::uint32_t>(lost.stream.size()) + 100);
  for (File* f : {&self, &pair, &lost}) {
    const ReadOutcome r = f->read();
    ASSERT_EQ(r.result, OpenResult::ok);
    EXPECT_EQ(at(r, 0, 0).text, u"text");
  }
}

TEST(PptReader, RefusalsAreDistinct) {
  File f;
  const auto doc = f.append(documentWith({slidePersist(2)}));
  f.save(1, {doc});
  f.setUser(f.lastEdit, 0xF3D1C4DF);
  EXPECT_EQ(f.read().result, OpenResult::encrypted);

  File missingDocument;
  missingDocument.append(slide({}));
  missingDocument.save(5, {0});
  EXPECT_EQ(missingDocument.read().result, OpenResult::corrupt);

  File garbage;
  garbage.stream = Bytes(64, '\x7F');
  garbage.setUser(8);
  EXPECT_EQ(garbage.read().result, OpenResult::corrupt);
}

TEST(PptReader, DeepNestingIsCutOffWithoutHarm) {
  Bytes nested = shape({fsp(1), charsBox(u"deep")});
  for (int i = 0; i < 500; ++i) nested = container(0xF003, {shape({fsp(0, 1)}), nested});
  File f;
  const auto doc = f.append(documentWith({slidePersist(2)}));
  const auto s = f.append(slide({nested}));
  f.save(1, {doc, s});
  const ReadOutcome r = f.read();
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_LE(r.document.shapes.size(), static_cast<std::size_t>(kMaxNesting) + 1);
}

TEST(PptReader, ShapeTypesWithoutTextFrame) {
  for (unsigned type : {20u, 24u, 31u, 32u, 40u, 75u, 136u, 175u, 201u}) {
    EXPECT_FALSE(pptShapeHasTextFrame(type, 0)) << type;
  }
  for (unsigned type : {0u, 1u, 23u, 41u, 135u, 176u, 202u}) {
    EXPECT_TRUE(pptShapeHasTextFrame(type, 0)) << type;
  }
  EXPECT_FALSE(pptShapeHasTextFrame(1, 0x10));  // OLE object
  EXPECT_FALSE(pptShapeHasTextFrame(0, 0x1));   // group
}

}  // namespace
}  // namespace lamina::presentation

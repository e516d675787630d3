#include "presentation/ppt_reader.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>
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
// Legacy WordArt's text, the geometry-text property.
Bytes geometryText(std::u16string text) {
  const Bytes data = wide(text) + u16(0);
  return atom(0xF00B, u16(0x80C0) + u32(static_cast<std::uint32_t>(data.size())) + data, 1);
}
Bytes userEdit(std::uint32_t previous, std::uint32_t directory, std::uint32_t documentRef) {
  return atom(0x0FF5, u32(0) + u16(0) + Bytes{0, 3} + u32(previous) + u32(directory) +
                          u32(documentRef) + u32(10) + u16(1) + u16(0));
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
    const std::uint32_t editAt = append(userEdit(previous.value_or(lastEdit), dirAt, documentRef));
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
    return read(doc);
  }
  ReadOutcome read(ByteSource& doc) {
    MemorySource cu({reinterpret_cast<const std::uint8_t*>(user.data()), user.size()});
    return readPptStreams(doc, &cu);
  }
};

// Counts the bytes the reader takes from the stream.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(const Bytes& bytes)
      : inner_({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}) {}
  std::uint64_t size() const override { return inner_.size(); }
  bool read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    bytesRead += out.size();
    return inner_.read(offset, out);
  }
  std::uint64_t bytesRead = 0;

 private:
  MemorySource inner_;
};

// A compound file of the given streams, written by libgsf.
Bytes compoundFile(const std::vector<std::pair<const char*, Bytes>>& streams) {
  gsf_init();
  GsfOutput* memory = gsf_output_memory_new();
  GsfOutfile* ole = gsf_outfile_msole_new(memory);
  for (const auto& [name, bytes] : streams) {
    GsfOutput* child = gsf_outfile_new_child(ole, name, FALSE);
    gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  const auto* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
  Bytes out(reinterpret_cast<const char*>(data), static_cast<std::size_t>(gsf_output_size(memory)));
  g_object_unref(memory);
  return out;
}

ReadOutcome readCompound(const Bytes& bytes) {
  return readPptMemory({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

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

TEST(PptReader, UnreadableSlidesKeepTheirPlaceAndNumber) {
  File f;
  const auto doc =
      f.append(documentWith({slidePersist(2), slidePersist(9), slidePersist(3), slidePersist(4)}));
  const auto one = f.append(slide({shape({fsp(1), charsBox(u"one")})}));
  const auto cut = f.append(slide({shape({fsp(1), charsBox(u"cut")})}));
  f.patch32(cut + 4, 1u << 20);  // its length runs past the stream's end
  const auto four = f.append(slide({shape({fsp(1), charsBox(u"four")})}));
  f.save(1, {doc, one, cut, four});
  const ReadOutcome r = f.read();
  ASSERT_EQ(r.result, OpenResult::ok);
  ASSERT_EQ(r.document.slides.size(), 4u);
  EXPECT_EQ(r.document.damagedSlides, (std::vector<int>{2, 3}));
  EXPECT_EQ(at(r, 0, 0).text, u"one");
  EXPECT_EQ(at(r, 3, 0).text, u"four");
}

TEST(PptReader, SlideListTextIsSharedAndTheTotalTextIsBounded) {
  auto build = [](int shapes, std::size_t length) {
    File f;
    const auto doc = f.append(documentWith(
        {slidePersist(2), atom(0x0F9F, u32(0)), atom(0x0FA0, wide(std::u16string(length, u'x')))}));
    const auto s = f.append(
        slide(std::vector<Bytes>(static_cast<std::size_t>(shapes), shape({fsp(1), refBox(0)}))));
    f.save(1, {doc, s});
    return f.read();
  };
  const ReadOutcome shared = build(10, 1000);
  ASSERT_EQ(shared.result, OpenResult::ok);
  for (std::size_t i = 0; i < 10; ++i) {
    ASSERT_NE(at(shared, 0, i).sharedText, nullptr);
    EXPECT_EQ(at(shared, 0, i).sharedText, at(shared, 0, 0).sharedText);
    EXPECT_EQ(at(shared, 0, i).textView().size(), 1000u);
  }
  // 40 shapes showing one text of a million characters: 40 million in all.
  EXPECT_EQ(build(40, 1u << 20).result, OpenResult::tooLarge);
}

TEST(PptReader, EditsSharingOneDirectoryMergeItOnce) {
  File f;
  const auto doc = f.append(documentWith({slidePersist(2)}));
  const auto s = f.append(slide({shape({fsp(1), charsBox(u"text")})}));
  Bytes directory = u32(1 | (2u << 20)) + u32(doc) + u32(s);
  for (std::uint32_t first = 3; first < 16003; first += 4000) {
    directory += u32(first | (4000u << 20)) + Bytes(4 * 4000, '\0');
  }
  const auto directoryAt = f.append(atom(0x1772, directory));
  std::uint32_t edit = 0;
  for (int i = 0; i < 300; ++i) edit = f.append(userEdit(edit, directoryAt, 1));
  f.setUser(edit);
  CountingSource source(f.stream);
  const ReadOutcome r = f.read(source);
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_EQ(at(r, 0, 0).text, u"text");
  EXPECT_LT(source.bytesRead, 4 * f.stream.size());
}

TEST(PptReader, SlideNumberFieldsAndWordArtText) {
  File f;
  const auto doc =
      f.append(documentWith({slidePersist(2), atom(0x0F9F, u32(0)), atom(0x0FA0, wide(u"n*")),
                             atom(0x0FD8, u32(1)), slidePersist(3)}));
  const Bytes fields = container(0xF00D, {atom(0x0F9F, u32(4)), atom(0x0FA0, wide(u"Page * of *")),
                                          atom(0x0FD8, u32(5)), atom(0x0FD8, u32(10))});
  const auto s2 = f.append(slide({shape({fsp(1), refBox(0)})}));
  const auto s3 =
      f.append(slide({shape({fsp(1), fields}), shape({fsp(136), geometryText(u"Word\r\nArt")}),
                      shape({fsp(150), fopt({}, u"alt only")})}));
  f.save(1, {doc, s2, s3});
  const ReadOutcome r = f.read();
  ASSERT_EQ(r.result, OpenResult::ok);
  EXPECT_EQ(at(r, 0, 0).textView(), u"n1");
  EXPECT_EQ(at(r, 1, 0).text, u"Page 2 of 2");
  EXPECT_TRUE(at(r, 1, 1).textFrame);
  EXPECT_EQ(at(r, 1, 1).text, u"Word\r\nArt");
  EXPECT_FALSE(at(r, 1, 2).textFrame);
  EXPECT_EQ(at(r, 1, 2).alternativeText, u"alt only");
}

TEST(PptReader, EncryptionIsRecognisedBehindADamagedCompoundFileHeader) {
  File encrypted;
  encrypted.save(1, {0});
  encrypted.setUser(encrypted.lastEdit, 0xF3D1C4DF);
  File plain;
  plain.save(1, {0});
  auto damaged = [](Bytes bytes) {
    bytes[0x1E] = 0x30;  // a sector size of 2^48 bytes
    return bytes;
  };
  const Bytes package =
      compoundFile({{"EncryptionInfo", Bytes(64, 'i')}, {"EncryptedPackage", Bytes(5000, 'p')}});
  const Bytes binary =
      compoundFile({{"Current User", encrypted.user}, {"PowerPoint Document", encrypted.stream}});
  const Bytes clear =
      compoundFile({{"Current User", plain.user}, {"PowerPoint Document", plain.stream}});
  EXPECT_EQ(readCompound(package).result, OpenResult::encrypted);
  EXPECT_EQ(readCompound(damaged(package)).result, OpenResult::encrypted);
  EXPECT_EQ(readCompound(damaged(binary)).result, OpenResult::encrypted);
  EXPECT_EQ(readCompound(damaged(clear)).result, OpenResult::corrupt);
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

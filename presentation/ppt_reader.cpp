#include "presentation/ppt_reader.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/log.h"
#include "presentation/glib_log.h"

namespace lamina::presentation {

bool MemorySource::read(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
  if (out.empty()) return true;
  std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return true;
}

namespace {

// Record types of the binary format and of its drawings.
enum : std::uint16_t {
  kDocument = 0x03E8,
  kSlide = 0x03EE,
  kSlidePersistAtom = 0x03F3,
  kPPDrawing = 0x040C,
  kOutlineTextRefAtom = 0x0F9E,
  kTextHeaderAtom = 0x0F9F,
  kTextCharsAtom = 0x0FA0,
  kTextBytesAtom = 0x0FA8,
  kSlideNumberMCAtom = 0x0FD8,
  kSlideListWithText = 0x0FF0,
  kUserEditAtom = 0x0FF5,
  kCurrentUserAtom = 0x0FF6,
  kPersistDirectoryAtom = 0x1772,
  kDgContainer = 0xF002,
  kSpgrContainer = 0xF003,
  kSpContainer = 0xF004,
  kFOPT = 0xF00B,
  kFSP = 0xF00A,
  kClientTextbox = 0xF00D,
  kChildAnchor = 0xF00F,
  kClientAnchor = 0xF010,
  kTertiaryFOPT = 0xF122,
};

constexpr std::uint32_t kEncryptedToken = 0xF3D1C4DF;
constexpr std::uint16_t kAltTextProperty = 0x0381;
// gtextUNICODE: the text that legacy WordArt draws as its geometry.
constexpr std::uint16_t kGeometryTextProperty = 0x00C0;
// tableProperties; 0x03A0 next to it is the complex array of row heights.
constexpr std::uint16_t kTablePropertiesProperty = 0x039F;
constexpr std::uint32_t kFlagGroup = 0x1;
constexpr std::uint32_t kFlagOle = 0x10;
constexpr std::uint16_t kLineType = 20;

bool isLegacyWordArt(unsigned shapeType) {
  return shapeType >= 136 && shapeType <= 175;
}

// No real file comes near these; they stop loops and bombs.
constexpr std::size_t kMaxUserEdits = 4096;
constexpr std::size_t kMaxRecordsVisited = 1u << 22;
constexpr std::uint32_t kMaxAtom = 16u << 20;

struct Record {
  std::uint16_t verInst = 0;
  std::uint16_t type = 0;
  std::uint32_t length = 0;
  std::uint64_t body = 0;  // offset of the body in the stream

  unsigned instance() const { return verInst >> 4; }
  bool container() const { return (verInst & 0xF) == 0xF; }
  std::uint64_t end() const { return body + length; }
};

// A tiny read-ahead window over a source: record headers are read one by one
// and would otherwise each cost a trip through the compound file.
class Reader {
 public:
  explicit Reader(ByteSource& source) : source_(source), size_(source.size()) {}

  std::uint64_t size() const { return size_; }

  bool read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > size_ || out.size() > size_ - offset) return false;
    if (out.empty()) return true;
    if (out.size() > kWindow) return source_.read(offset, out);
    if (offset < windowStart_ || offset + out.size() > windowStart_ + window_.size()) {
      // A chain of edits is followed backwards: a window that ends past the
      // offset serves the records before it too.
      std::uint64_t start = offset;
      if (offset < windowStart_ && out.size() <= kWindow / 2) {
        start = offset > kWindow / 2 ? offset - kWindow / 2 : 0;
      }
      const std::uint64_t length = std::min<std::uint64_t>(kWindow, size_ - start);
      window_.resize(static_cast<std::size_t>(length));
      if (!source_.read(start, window_)) {
        window_.clear();
        return false;
      }
      windowStart_ = start;
    }
    std::memcpy(out.data(), window_.data() + (offset - windowStart_), out.size());
    return true;
  }

  // The record whose header starts at offset and whose body ends by limit.
  std::optional<Record> record(std::uint64_t offset, std::uint64_t limit) {
    if (++visited_ > kMaxRecordsVisited) return std::nullopt;
    std::uint8_t h[8];
    if (offset + 8 > limit || !read(offset, h)) return std::nullopt;
    Record r;
    r.verInst = le16(h, 0);
    r.type = le16(h, 2);
    r.length = le32(h, 4);
    r.body = offset + 8;
    if (r.end() > limit || r.end() > size_) return std::nullopt;
    return r;
  }

  // Children of a container, up to the first header that does not fit.
  std::vector<Record> children(const Record& parent) {
    std::vector<Record> out;
    if (!parent.container()) return out;
    std::uint64_t at = parent.body;
    while (at + 8 <= parent.end()) {
      std::optional<Record> r = record(at, parent.end());
      if (!r) break;
      out.push_back(*r);
      at = r->end();
    }
    return out;
  }

  std::vector<std::uint8_t> body(const Record& r, std::uint32_t maxLength = kMaxAtom) {
    std::vector<std::uint8_t> out;
    if (r.length > maxLength) return out;
    out.resize(r.length);
    if (!read(r.body, out)) out.clear();
    return out;
  }

 private:
  static constexpr std::size_t kWindow = 64 * 1024;
  ByteSource& source_;
  std::uint64_t size_;
  std::vector<std::uint8_t> window_;
  std::uint64_t windowStart_ = 0;
  std::size_t visited_ = 0;
};

std::u16string utf16Text(std::span<const std::uint8_t> bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) out.push_back(le16(bytes, i));
  return out;
}

// 8-bit text atoms hold the low bytes of UTF-16 code units.
std::u16string byteText(std::span<const std::uint8_t> bytes) {
  return std::u16string(bytes.begin(), bytes.end());
}

using SharedText = std::shared_ptr<const std::u16string>;

struct SlideEntry {
  std::uint32_t persistRef = 0;
  int number = 0;  // the slide's place in the list, from 1
  std::vector<SharedText> texts;
};

struct ShapeInfo {
  unsigned type = 0;
  std::uint32_t flags = 0;
  bool table = false;
  std::u16string alternative;
  std::optional<std::u16string> geometryText;
  std::int32_t top = 0;
  std::int32_t left = 0;
  std::optional<std::u16string> text;
  SharedText sharedText;
};

// A slide-number field is stored as "*" at its place in the text; it shows
// the number of the slide it stands on.
void fillSlideNumbers(std::u16string& text, std::vector<std::uint32_t> places, int number) {
  std::sort(places.begin(), places.end(), std::greater<>());
  const std::string digits = std::to_string(number);
  const std::u16string wide(digits.begin(), digits.end());
  std::uint32_t previous = UINT32_MAX;
  for (std::uint32_t at : places) {
    if (at == previous || at >= text.size() || text[at] != u'*') continue;
    text.replace(at, 1, wide);
    previous = at;
  }
}

class PptParser {
 public:
  PptParser(ByteSource& document, ByteSource* currentUser)
      : doc_(document), currentUser_(currentUser) {}

  ReadOutcome parse();

 private:
  OpenResult readCurrentUser(std::uint32_t& currentEdit);
  bool followEdits(std::uint32_t currentEdit);
  bool scanEdits();
  void addPersistDirectory(const Record& directory, bool override);
  std::optional<Record> persistRecord(std::uint32_t persistId);
  std::optional<std::vector<SlideEntry>> slideList(const Record& documentRecord);
  std::vector<ShapeId> slideShapes(const Record& slide, const SlideEntry& entry);
  ShapeInfo shapeInfo(const Record& spContainer, const SlideEntry& entry);
  void readProperties(const Record& fopt, ShapeInfo& info);
  void textboxText(const Record& textbox, const SlideEntry& entry, ShapeInfo& info);
  std::optional<ShapeId> groupShape(const Record& spgr, const SlideEntry& entry, int depth);
  std::optional<ShapeId> plainShape(ShapeInfo info);
  bool roomForShape() const {
    return document_.shapes.size() < kMaxShapes && !document_.overTextBound();
  }

  Reader doc_;
  ByteSource* currentUser_;
  // Stream offset of each persist id (ids have 20 bits plus a run of at most
  // 4095), kNoOffset where none; a table, as directories hold many ids.
  static constexpr std::uint64_t kNoOffset = UINT64_MAX;
  std::vector<std::uint64_t> persist_;
  bool anyPersist_ = false;
  const std::uint64_t* persistOffset(std::uint32_t id) const {
    return id < persist_.size() && persist_[id] != kNoOffset ? &persist_[id] : nullptr;
  }
  // Persist directories already merged, by offset: edits may share one.
  std::set<std::uint64_t> mergedDirectories_;
  std::uint32_t documentRef_ = 0;
  std::uint32_t encryptSessionRef_ = 0;
  bool hasEncryptSession_ = false;
  Document document_;
};

OpenResult PptParser::readCurrentUser(std::uint32_t& currentEdit) {
  if (!currentUser_) return OpenResult::corrupt;
  Reader user(*currentUser_);
  std::optional<Record> atom = user.record(0, user.size());
  if (!atom || atom->type != kCurrentUserAtom || atom->length < 16) return OpenResult::corrupt;
  const std::vector<std::uint8_t> b = user.body(*atom, 4096);
  if (b.size() < 16) return OpenResult::corrupt;
  if (le32(b, 4) == kEncryptedToken) return OpenResult::encrypted;
  currentEdit = le32(b, 8);
  return OpenResult::ok;
}

void PptParser::addPersistDirectory(const Record& directory, bool override) {
  // An older edit merged after a newer one adds nothing the first merge did
  // not; a later directory in the scan (override) always counts.
  if (!mergedDirectories_.insert(directory.body - 8).second && !override) return;
  const std::vector<std::uint8_t> b = doc_.body(directory);
  std::size_t at = 0;
  while (at + 4 <= b.size()) {
    const std::uint32_t word = le32(b, at);
    at += 4;
    const std::uint32_t first = word & 0xFFFFF;
    const std::uint32_t count = word >> 20;
    for (std::uint32_t i = 0; i < count && at + 4 <= b.size(); ++i, at += 4) {
      const std::uint32_t id = first + i;
      if (id >= persist_.size()) persist_.resize(id + 1, kNoOffset);
      if (override || persist_[id] == kNoOffset) persist_[id] = le32(b, at);
      anyPersist_ = true;
    }
  }
}

// The newest edit comes first; an older entry never replaces a newer one.
bool PptParser::followEdits(std::uint32_t currentEdit) {
  std::set<std::uint32_t> seen;
  std::uint32_t offset = currentEdit;
  bool first = true;
  while (true) {
    if (!seen.insert(offset).second || seen.size() > kMaxUserEdits) return false;
    std::optional<Record> edit = doc_.record(offset, doc_.size());
    if (!edit || edit->type != kUserEditAtom || edit->length < 28) return false;
    const std::vector<std::uint8_t> b = doc_.body(*edit, 4096);
    if (b.size() < 28) return false;
    if (first) {
      documentRef_ = le32(b, 16);
      if (b.size() >= 32) {
        hasEncryptSession_ = true;
        encryptSessionRef_ = le32(b, 28);
      }
      first = false;
    }
    const std::uint32_t directoryAt = le32(b, 12);
    if (mergedDirectories_.count(directoryAt) == 0) {
      std::optional<Record> directory = doc_.record(directoryAt, doc_.size());
      if (!directory || directory->type != kPersistDirectoryAtom) return false;
      addPersistDirectory(*directory, false);
    }
    offset = le32(b, 8);
    if (offset == 0) return true;
  }
}

// A file whose edit chain is broken: read the top-level records in order and
// let each later persist directory override the earlier ones.
bool PptParser::scanEdits() {
  persist_.clear();
  anyPersist_ = false;
  mergedDirectories_.clear();
  hasEncryptSession_ = false;
  bool foundEdit = false;
  std::uint64_t at = 0;
  while (at + 8 <= doc_.size()) {
    std::optional<Record> r = doc_.record(at, doc_.size());
    if (!r) break;
    if (r->type == kUserEditAtom && r->length >= 28) {
      const std::vector<std::uint8_t> b = doc_.body(*r, 4096);
      if (b.size() >= 28) {
        documentRef_ = le32(b, 16);
        foundEdit = true;
      }
    } else if (r->type == kPersistDirectoryAtom) {
      addPersistDirectory(*r, true);
    }
    at = r->end();
  }
  return foundEdit && anyPersist_;
}

std::optional<Record> PptParser::persistRecord(std::uint32_t persistId) {
  const std::uint64_t* offset = persistOffset(persistId);
  if (!offset) return std::nullopt;
  return doc_.record(*offset, doc_.size());
}

// The slide list and the texts its placeholders refer to; nullopt when those
// texts alone pass the bound of a presentation's text.
std::optional<std::vector<SlideEntry>> PptParser::slideList(const Record& documentRecord) {
  struct Pending {
    std::u16string text;
    std::vector<std::uint32_t> slideNumbers;
  };
  std::vector<SlideEntry> slides;
  std::vector<std::vector<Pending>> texts;
  std::size_t units = 0;
  for (const Record& list : doc_.children(documentRecord)) {
    if (list.type != kSlideListWithText || list.instance() != 0) continue;
    for (const Record& r : doc_.children(list)) {
      if (r.type == kSlidePersistAtom) {
        if (slides.size() >= kMaxSlides) break;
        // A listed slide whose reference is cut short is a damaged slide (id 0
        // names no slide).
        const std::vector<std::uint8_t> b = doc_.body(r, 4096);
        slides.push_back({b.size() >= 4 ? le32(b, 0) : 0, static_cast<int>(slides.size()) + 1, {}});
        texts.emplace_back();
      } else if (slides.empty()) {
        continue;
      } else if (r.type == kTextHeaderAtom) {
        texts.back().emplace_back();
      } else if (r.type == kTextCharsAtom || r.type == kTextBytesAtom) {
        const std::vector<std::uint8_t> b = doc_.body(r);
        if (texts.back().empty()) texts.back().emplace_back();
        Pending& p = texts.back().back();
        units -= p.text.size();
        p.text = r.type == kTextCharsAtom ? utf16Text(b) : byteText(b);
        units += p.text.size();
        if (units > kMaxTextUnits) return std::nullopt;
      } else if (r.type == kSlideNumberMCAtom && !texts.back().empty()) {
        const std::vector<std::uint8_t> b = doc_.body(r, 64);
        if (b.size() >= 4) texts.back().back().slideNumbers.push_back(le32(b, 0));
      }
    }
  }
  for (std::size_t i = 0; i < slides.size(); ++i) {
    for (Pending& p : texts[i]) {
      fillSlideNumbers(p.text, std::move(p.slideNumbers), slides[i].number);
      slides[i].texts.push_back(std::make_shared<const std::u16string>(std::move(p.text)));
    }
  }
  return slides;
}

void PptParser::readProperties(const Record& fopt, ShapeInfo& info) {
  const std::vector<std::uint8_t> b = doc_.body(fopt);
  const std::size_t count = fopt.instance();
  if (count * 6 > b.size()) return;
  std::size_t complexAt = count * 6;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t opid = le16(b, i * 6);
    const std::uint32_t value = le32(b, i * 6 + 2);
    const std::uint16_t id = opid & 0x3FFF;
    const bool complex = (opid & 0x8000) != 0;
    if (id == kTablePropertiesProperty && !complex) info.table = (value & 1) != 0;
    if (!complex) continue;
    if ((id == kAltTextProperty || id == kGeometryTextProperty) && complexAt <= b.size() &&
        value <= b.size() - complexAt) {
      std::u16string text = utf16Text(std::span(b).subspan(complexAt, value));
      if (auto nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
      if (id == kAltTextProperty) {
        info.alternative = std::move(text);
      } else {
        info.geometryText = std::move(text);
      }
    }
    complexAt += value;
  }
}

// The box's own text atom wins over a reference to the slide list's text.
void PptParser::textboxText(const Record& textbox, const SlideEntry& entry, ShapeInfo& info) {
  std::optional<std::u16string> own;
  std::vector<std::uint32_t> slideNumbers;
  SharedText reference;
  bool referred = false;
  for (const Record& r : doc_.children(textbox)) {
    if (!own && r.type == kTextCharsAtom) {
      own = utf16Text(doc_.body(r));
    } else if (!own && r.type == kTextBytesAtom) {
      own = byteText(doc_.body(r));
    } else if (own && r.type == kSlideNumberMCAtom) {
      const std::vector<std::uint8_t> b = doc_.body(r, 64);
      if (b.size() >= 4) slideNumbers.push_back(le32(b, 0));
    } else if (r.type == kOutlineTextRefAtom && !referred) {
      const std::vector<std::uint8_t> b = doc_.body(r, 64);
      if (b.size() >= 4) {
        const std::uint32_t index = le32(b, 0);
        referred = true;
        if (index < entry.texts.size()) reference = entry.texts[index];
      }
    }
  }
  if (own) {
    fillSlideNumbers(*own, std::move(slideNumbers), entry.number);
    info.text = std::move(own);
  } else if (referred) {
    info.text.emplace();
    info.sharedText = std::move(reference);
  }
}

ShapeInfo PptParser::shapeInfo(const Record& spContainer, const SlideEntry& entry) {
  ShapeInfo info;
  bool anchored = false;
  for (const Record& r : doc_.children(spContainer)) {
    switch (r.type) {
      case kFSP: {
        info.type = r.instance();
        const std::vector<std::uint8_t> b = doc_.body(r, 64);
        if (b.size() >= 8) info.flags = le32(b, 4);
        break;
      }
      case kFOPT:
      case kTertiaryFOPT:
        readProperties(r, info);
        break;
      case kChildAnchor: {
        const std::vector<std::uint8_t> b = doc_.body(r, 64);
        if (b.size() >= 16) {
          info.left = static_cast<std::int32_t>(le32(b, 0));
          info.top = static_cast<std::int32_t>(le32(b, 4));
          anchored = true;
        }
        break;
      }
      case kClientAnchor: {
        if (anchored) break;
        const std::vector<std::uint8_t> b = doc_.body(r, 64);
        if (b.size() >= 16) {
          info.top = static_cast<std::int32_t>(le32(b, 0));
          info.left = static_cast<std::int32_t>(le32(b, 4));
        } else if (b.size() >= 8) {
          info.top = static_cast<std::int16_t>(le16(b, 0));
          info.left = static_cast<std::int16_t>(le16(b, 2));
        }
        break;
      }
      case kClientTextbox:
        textboxText(r, entry, info);
        break;
      default:
        break;
    }
  }
  return info;
}

std::optional<ShapeId> PptParser::plainShape(ShapeInfo info) {
  if (!roomForShape()) return std::nullopt;
  Shape shape;
  shape.textFrame = pptShapeHasTextFrame(info.type, info.flags);
  if (isLegacyWordArt(info.type) && info.geometryText && !(info.flags & (kFlagGroup | kFlagOle))) {
    // WordArt draws its text as geometry, and shows it as a text frame would.
    shape.textFrame = true;
    shape.text = std::move(*info.geometryText);
  } else if (shape.textFrame && info.sharedText) {
    shape.sharedText = std::move(info.sharedText);
  } else if (shape.textFrame && info.text) {
    shape.text = std::move(*info.text);
  }
  shape.alternativeText = std::move(info.alternative);
  return document_.add(std::move(shape));
}

std::optional<ShapeId> PptParser::groupShape(const Record& spgr, const SlideEntry& entry,
                                             int depth) {
  if (depth > kMaxNesting || !roomForShape()) return std::nullopt;
  const std::vector<Record> children = doc_.children(spgr);
  if (children.empty() || children.front().type != kSpContainer) return std::nullopt;
  const ShapeInfo group = shapeInfo(children.front(), entry);

  struct Member {
    ShapeId id;
    std::int32_t top;
    std::int32_t left;
  };
  std::vector<Member> members;
  for (std::size_t i = 1; i < children.size(); ++i) {
    const Record& child = children[i];
    std::optional<ShapeId> id;
    std::int32_t top = 0;
    std::int32_t left = 0;
    if (child.type == kSpContainer) {
      ShapeInfo info = shapeInfo(child, entry);
      // A table draws its borders as lines among its cells.
      if (group.table && info.type == kLineType) continue;
      top = info.top;
      left = info.left;
      id = plainShape(std::move(info));
    } else if (child.type == kSpgrContainer) {
      id = groupShape(child, entry, depth + 1);
    }
    if (id) members.push_back({*id, top, left});
  }
  if (group.table) {
    std::stable_sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
      return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
  }
  Shape shape;
  shape.alternativeText = group.alternative;
  for (const Member& m : members) shape.members.push_back(m.id);
  return document_.add(std::move(shape));
}

std::vector<ShapeId> PptParser::slideShapes(const Record& slide, const SlideEntry& entry) {
  std::vector<ShapeId> shapes;
  for (const Record& drawing : doc_.children(slide)) {
    if (drawing.type != kPPDrawing) continue;
    for (const Record& dg : doc_.children(drawing)) {
      if (dg.type != kDgContainer) continue;
      for (const Record& spgr : doc_.children(dg)) {
        if (spgr.type != kSpgrContainer) continue;
        // The first member is the slide's own group (the patriarch).
        const std::vector<Record> top = doc_.children(spgr);
        for (std::size_t i = 1; i < top.size(); ++i) {
          std::optional<ShapeId> id;
          if (top[i].type == kSpContainer) id = plainShape(shapeInfo(top[i], entry));
          if (top[i].type == kSpgrContainer) id = groupShape(top[i], entry, 1);
          if (id) shapes.push_back(*id);
        }
        return shapes;
      }
    }
  }
  return shapes;
}

ReadOutcome PptParser::parse() {
  ReadOutcome outcome;
  std::uint32_t currentEdit = 0;
  const OpenResult user = readCurrentUser(currentEdit);
  if (user == OpenResult::encrypted) {
    outcome.result = OpenResult::encrypted;
    return outcome;
  }
  if (user != OpenResult::ok || !followEdits(currentEdit)) {
    if (!scanEdits()) {
      outcome.result = OpenResult::corrupt;
      return outcome;
    }
  }
  if (hasEncryptSession_ && persistOffset(encryptSessionRef_)) {
    outcome.result = OpenResult::encrypted;
    return outcome;
  }
  std::optional<Record> documentRecord = persistRecord(documentRef_);
  if (!documentRecord || documentRecord->type != kDocument) {
    outcome.result = OpenResult::corrupt;
    return outcome;
  }
  const std::optional<std::vector<SlideEntry>> entries = slideList(*documentRecord);
  if (!entries) {
    outcome.result = OpenResult::tooLarge;
    return outcome;
  }
  for (const SlideEntry& entry : *entries) {
    std::optional<Record> slide;
    if (entry.persistRef != 0) slide = persistRecord(entry.persistRef);
    if (!slide || slide->type != kSlide) {
      document_.addDamagedSlide();
      continue;
    }
    document_.slides.push_back(slideShapes(*slide, entry));
  }
  if (document_.overTextBound()) {
    outcome.result = OpenResult::tooLarge;
    return outcome;
  }
  outcome.result = OpenResult::ok;
  outcome.document = std::move(document_);
  return outcome;
}

// libgsf objects are GObjects; this releases them when the handle goes.
struct Unref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GsfPtr = std::unique_ptr<T, Unref>;

class GsfSource final : public ByteSource {
 public:
  explicit GsfSource(GsfInput* input) : input_(input) {}
  std::uint64_t size() const override {
    const gsf_off_t s = gsf_input_size(input_);
    return s > 0 ? static_cast<std::uint64_t>(s) : 0;
  }
  bool read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (out.empty()) return true;
    if (gsf_input_seek(input_, static_cast<gsf_off_t>(offset), G_SEEK_SET)) return false;
    return gsf_input_read(input_, out.size(), out.data()) != nullptr;
  }

 private:
  GsfInput* input_;
};

GsfInput* childNoCase(GsfInfile* dir, const char* name) {
  if (GsfInput* child = gsf_infile_child_by_name(dir, name)) return child;
  const int count = gsf_infile_num_children(dir);
  for (int i = 0; i < count; ++i) {
    const char* candidate = gsf_infile_name_by_index(dir, i);
    if (candidate && g_ascii_strcasecmp(candidate, name) == 0) {
      return gsf_infile_child_by_index(dir, i);
    }
  }
  return nullptr;
}

bool isDirectory(GsfInput* input) {
  return GSF_IS_INFILE(input) && gsf_infile_num_children(GSF_INFILE(input)) >= 0;
}

bool hasChild(GsfInfile* dir, const char* name) {
  GsfPtr<GsfInput> child(childNoCase(dir, name));
  return child != nullptr;
}

// PowerPoint 95 writes a bare length-prefixed user name as its current user.
bool isOldCurrentUser(GsfInput* user) {
  const gsf_off_t size = gsf_input_size(user);
  if (size < 4 || size >= 28) return false;
  std::uint8_t b[4];
  if (gsf_input_seek(user, 0, G_SEEK_SET) || !gsf_input_read(user, 4, b)) return false;
  return le32(b, 0) + 4u == static_cast<std::uint64_t>(size);
}

// A compound file whose header is damaged may still show that it is
// encrypted: a directory entry (128-byte aligned) naming an encrypted package,
// or a current-user record (64-byte aligned, as any small stream) with the
// token of an encrypted binary presentation.
bool looksEncrypted(GsfInput* input) {
  static constexpr char16_t kName[] = u"EncryptedPackage";
  constexpr std::size_t kNameUnits = sizeof kName / sizeof kName[0];  // with the NUL
  const gsf_off_t size = gsf_input_size(input);
  constexpr std::size_t kChunk = 1u << 16;
  std::vector<std::uint8_t> chunk(kChunk);
  for (gsf_off_t at = 0; at < size; at += static_cast<gsf_off_t>(kChunk)) {
    const auto length = static_cast<std::size_t>(std::min<gsf_off_t>(size - at, kChunk));
    if (gsf_input_seek(input, at, G_SEEK_SET) || !gsf_input_read(input, length, chunk.data())) {
      return false;
    }
    const std::span<const std::uint8_t> b(chunk.data(), length);
    for (std::size_t i = 0; i + 128 <= length; i += 64) {
      if (le16(b, i + 2) == kCurrentUserAtom && le32(b, i + 12) == kEncryptedToken) return true;
      if (i % 128 != 0 || le16(b, i + 64) != kNameUnits * 2 || b[i + 66] != 2) continue;
      bool same = true;
      for (std::size_t k = 0; k < kNameUnits && same; ++k) same = le16(b, i + 2 * k) == kName[k];
      if (same) return true;
    }
  }
  return false;
}

ReadOutcome readCompoundFile(GsfInput* input) {
  static std::once_flag initialised;
  std::call_once(initialised, [] {
    gsf_init();
    // Damaged files make libgsf complain; the result code tells the caller,
    // the complaint goes to the log.
    routeGlibLog();
  });
  ReadOutcome outcome;
  GError* error = nullptr;
  GsfPtr<GsfInfile> ole(gsf_infile_msole_new(input, &error));
  if (error) {
    platform::logInfo("libgsf", std::string("not a compound file: ") + error->message);
    g_error_free(error);
  }
  if (!ole) {
    outcome.result = looksEncrypted(input) ? OpenResult::encrypted : OpenResult::corrupt;
    return outcome;
  }
  // An encrypted Office Open XML package travels inside a compound file.
  if (hasChild(ole.get(), "EncryptedPackage") || hasChild(ole.get(), "EncryptedSummary")) {
    outcome.result = OpenResult::encrypted;
    return outcome;
  }
  // A file saved for both PowerPoint 95 and 97 keeps the 97 records in a
  // storage of their own.
  GsfPtr<GsfInput> dual(childNoCase(ole.get(), "PP97_DUALSTORAGE"));
  GsfInfile* root = ole.get();
  if (dual && isDirectory(dual.get()) && hasChild(GSF_INFILE(dual.get()), "PowerPoint Document")) {
    root = GSF_INFILE(dual.get());
  }
  GsfPtr<GsfInput> stream(childNoCase(root, "PowerPoint Document"));
  if (!stream) {
    outcome.result = hasChild(root, "PP40") ? OpenResult::oldFormat : OpenResult::notPresentation;
    return outcome;
  }
  if (isDirectory(stream.get())) {
    outcome.result = OpenResult::corrupt;
    return outcome;
  }
  GsfPtr<GsfInput> user(childNoCase(root, "Current User"));
  if (user && isDirectory(user.get())) user.reset();
  if (user && isOldCurrentUser(user.get())) {
    outcome.result = OpenResult::oldFormat;
    return outcome;
  }
  GsfSource documentSource(stream.get());
  std::optional<GsfSource> userSource;
  if (user) userSource.emplace(user.get());
  PptParser parser(documentSource, userSource ? &*userSource : nullptr);
  return parser.parse();
}

}  // namespace

bool pptShapeHasTextFrame(unsigned shapeType, std::uint32_t flags) {
  if (flags & (kFlagGroup | kFlagOle)) return false;
  switch (shapeType) {
    case 20:   // line
    case 75:   // picture frame (pictures, OLE objects, media)
    case 201:  // ActiveX control
      return false;
    default:
      break;
  }
  if (shapeType >= 32 && shapeType <= 40) return false;  // connectors
  if (shapeType >= 24 && shapeType <= 31) return false;  // legacy WordArt
  if (isLegacyWordArt(shapeType)) return false;
  return true;
}

ReadOutcome readPptStreams(ByteSource& document, ByteSource* currentUser) {
  PptParser parser(document, currentUser);
  return parser.parse();
}

ReadOutcome readPptFile(std::string_view fileName) {
  GError* error = nullptr;
  GsfPtr<GsfInput> input(gsf_input_stdio_new(std::string(fileName).c_str(), &error));
  if (error) {
    platform::logInfo("libgsf", std::string("cannot open: ") + error->message);
    g_error_free(error);
  }
  if (!input) return {};
  return readCompoundFile(input.get());
}

ReadOutcome readPptMemory(std::span<const std::uint8_t> bytes) {
  GsfPtr<GsfInput> input(
      gsf_input_memory_new(bytes.data(), static_cast<gsf_off_t>(bytes.size()), FALSE));
  if (!input) return {};
  return readCompoundFile(input.get());
}

}  // namespace lamina::presentation

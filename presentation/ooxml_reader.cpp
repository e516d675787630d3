#include "presentation/ooxml_reader.h"

#include <zip.h>

#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <vector>

#include "platform/cp1252.h"
#include "platform/log.h"

namespace lamina::presentation {

namespace {

// A part larger than this is no slide anyone wrote; a part that inflates
// far beyond its stored size is a zip bomb.
constexpr std::uint64_t kMaxPartSize = 64u << 20;
constexpr std::uint64_t kMaxRatio = 200;
constexpr std::uint64_t kRatioFloor = 1u << 20;
constexpr zip_int64_t kMaxEntries = 1 << 16;
// Many slides may name the same large part; the whole package is bounded too.
constexpr std::uint64_t kMaxInflated = 1u << 30;

constexpr unsigned kXmlOptions =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_ws_pcdata_single;

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

std::string_view localName(const char* name) {
  std::string_view n(name);
  const std::size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

pugi::xml_node child(pugi::xml_node node, std::string_view name) {
  for (pugi::xml_node c : node.children()) {
    if (c.type() == pugi::node_element && localName(c.name()) == name) return c;
  }
  return {};
}

// The value of an attribute by its local name; prefixed only when asked.
const char* attribute(pugi::xml_node node, std::string_view name, bool prefixed = false) {
  for (pugi::xml_attribute a : node.attributes()) {
    const std::string_view full(a.name());
    if (localName(a.name()) == name && (full.find(':') != std::string_view::npos) == prefixed) {
      return a.value();
    }
  }
  return nullptr;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "_xHHHH_" stands for the UTF-16 code unit HHHH in Office Open XML text
// (a character XML cannot hold, such as a carriage return, or "_" itself).
bool escapedUnit(std::string_view text, std::size_t pos, char16_t& unit) {
  if (text.size() - pos < 7 || text[pos] != '_' || text[pos + 1] != 'x' || text[pos + 6] != '_') {
    return false;
  }
  unsigned value = 0;
  for (std::size_t i = pos + 2; i < pos + 6; ++i) {
    const int d = hexDigit(text[i]);
    if (d < 0) return false;
    value = value * 16 + static_cast<unsigned>(d);
  }
  unit = static_cast<char16_t>(value);
  return true;
}

std::u16string utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char16_t unit = 0;
    if (escapedUnit(utf8, pos, unit)) {
      out.push_back(unit);
      pos += 7;
      continue;
    }
    char32_t cp = cp1252::decodeUtf8(utf8, pos);
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp));
    }
  }
  return out;
}

bool isTrue(const char* value) {
  if (!value) return false;
  const std::string_view v(value);
  return v == "1" || v == "true" || v == "on";
}

class Package {
 public:
  explicit Package(zip_t* archive) : zip_(archive) {}

  // The bytes of a part; nullopt when missing, unreadable or over the limits.
  std::optional<std::string> part(const std::string& name) {
    zip_int64_t index = zip_name_locate(zip_.get(), name.c_str(), 0);
    if (index < 0) index = zip_name_locate(zip_.get(), name.c_str(), ZIP_FL_NOCASE);
    if (index < 0) return std::nullopt;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip_.get(), static_cast<zip_uint64_t>(index), 0, &st) != 0) {
      return unreadable();
    }
    if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxPartSize) return refuse();
    if ((st.valid & ZIP_STAT_SIZE) && (st.valid & ZIP_STAT_COMP_SIZE) && st.size > kRatioFloor &&
        st.size / std::max<zip_uint64_t>(st.comp_size, 1) > kMaxRatio) {
      return refuse();
    }
    std::unique_ptr<zip_file_t, ZipFileCloser> file(
        zip_fopen_index(zip_.get(), static_cast<zip_uint64_t>(index), 0));
    if (!file) return unreadable();
    // The sizes in the directory are the writer's word; the inflated bytes are
    // counted as they come.
    std::string out;
    char buffer[16384];
    while (true) {
      const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
      if (n < 0) return unreadable();
      if (n == 0) break;
      if (out.size() + static_cast<std::uint64_t>(n) > kMaxPartSize) return refuse();
      inflated_ += static_cast<std::uint64_t>(n);
      if (inflated_ > kMaxInflated) return refuse();
      out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
  }

  bool xml(const std::string& name, pugi::xml_document& doc) {
    std::optional<std::string> bytes = part(name);
    if (!bytes) return false;
    if (doc.load_buffer(bytes->data(), bytes->size(), kXmlOptions)) return true;
    unreadable();
    return false;
  }

  // True once a part was present but unreadable, oversized or not XML.
  bool damaged() const { return damaged_ || refused_; }
  // True once a part was over the limits: a hostile package, read no further.
  bool refused() const { return refused_; }
  // Forgets an unreadable part, whose loss the caller has taken in.
  void forgive() { damaged_ = false; }

 private:
  std::nullopt_t unreadable() {
    damaged_ = true;
    return std::nullopt;
  }
  std::nullopt_t refuse() {
    refused_ = true;
    return std::nullopt;
  }

  bool damaged_ = false;
  bool refused_ = false;
  std::uint64_t inflated_ = 0;
  std::unique_ptr<zip_t, ZipCloser> zip_;
};

std::string folderOf(std::string_view partName) {
  const std::size_t slash = partName.rfind('/');
  return slash == std::string_view::npos ? std::string()
                                         : std::string(partName.substr(0, slash + 1));
}

std::string relsName(std::string_view partName) {
  const std::size_t slash = partName.rfind('/');
  const std::string_view leaf =
      slash == std::string_view::npos ? partName : partName.substr(slash + 1);
  return folderOf(partName) + "_rels/" + std::string(leaf) + ".rels";
}

class OoxmlParser {
 public:
  explicit OoxmlParser(Package& package) : package_(package) {}
  ReadOutcome parse();

 private:
  std::optional<ShapeId> shape(pugi::xml_node node, int depth);
  void shapes(pugi::xml_node tree, int depth, std::vector<ShapeId>& out);
  std::optional<ShapeId> table(pugi::xml_node frame, pugi::xml_node tbl);
  std::u16string bodyText(pugi::xml_node txBody) const;
  static std::u16string alternative(pugi::xml_node node);
  bool room() const { return document_.shapes.size() < kMaxShapes && !document_.overTextBound(); }

  Package& package_;
  Document document_;
  int slideNumber_ = 0;  // of the slide being read, from 1
};

std::u16string OoxmlParser::alternative(pugi::xml_node node) {
  for (pugi::xml_node c : node.children()) {
    const std::string_view name = localName(c.name());
    if (name.size() > 2 && name.substr(0, 2) == "nv") {
      if (const char* descr = attribute(child(c, "cNvPr"), "descr")) return utf16(descr);
      return {};
    }
  }
  return {};
}

std::u16string OoxmlParser::bodyText(pugi::xml_node txBody) const {
  std::string text;
  bool first = true;
  for (pugi::xml_node p : txBody.children()) {
    if (localName(p.name()) != "p") continue;
    if (!first) text += '\r';
    first = false;
    for (pugi::xml_node run : p.children()) {
      const std::string_view name = localName(run.name());
      if (name == "fld" &&
          std::string_view(attribute(run, "type") ? attribute(run, "type") : "") == "slidenum") {
        // The cached text may be stale or a placeholder such as "<number>".
        text += std::to_string(slideNumber_);
      } else if (name == "r" || name == "fld") {
        text += child(run, "t").child_value();
      } else if (name == "br") {
        text += '\v';
      }
    }
  }
  return utf16(text);
}

bool isLineGeometry(pugi::xml_node sp) {
  const char* preset = attribute(child(child(sp, "spPr"), "prstGeom"), "prst");
  if (!preset) return false;
  const std::string_view p(preset);
  return p == "line" || p == "straightConnector1" || p.starts_with("bentConnector") ||
         p.starts_with("curvedConnector");
}

std::optional<ShapeId> OoxmlParser::table(pugi::xml_node frame, pugi::xml_node tbl) {
  Shape group;
  group.alternativeText = alternative(frame);
  for (pugi::xml_node tr : tbl.children()) {
    if (localName(tr.name()) != "tr") continue;
    for (pugi::xml_node tc : tr.children()) {
      if (localName(tc.name()) != "tc") continue;
      if (isTrue(attribute(tc, "hMerge")) || isTrue(attribute(tc, "vMerge"))) continue;
      if (!room()) return std::nullopt;
      Shape cell;
      cell.textFrame = true;
      cell.text = bodyText(child(tc, "txBody"));
      group.members.push_back(document_.add(std::move(cell)));
    }
  }
  return document_.add(std::move(group));
}

std::optional<ShapeId> OoxmlParser::shape(pugi::xml_node node, int depth) {
  if (depth > kMaxNesting || !room()) return std::nullopt;
  const std::string_view name = localName(node.name());
  Shape s;
  if (name == "sp") {
    s.alternativeText = alternative(node);
    s.text = bodyText(child(node, "txBody"));
    // A line has no text frame, unless its body holds text, which is shown.
    s.textFrame = !isLineGeometry(node) || s.text.find_first_not_of(u'\r') != std::u16string::npos;
    if (!s.textFrame) s.text.clear();
  } else if (name == "grpSp") {
    s.alternativeText = alternative(node);
    std::vector<ShapeId> members;
    shapes(node, depth + 1, members);
    s.members = std::move(members);
  } else if (name == "graphicFrame") {
    pugi::xml_node tbl = child(child(child(node, "graphic"), "graphicData"), "tbl");
    if (tbl) return table(node, tbl);
    s.alternativeText = alternative(node);
  } else if (name == "cxnSp" || name == "pic" || name == "contentPart") {
    s.alternativeText = alternative(node);
  } else {
    return std::nullopt;
  }
  return document_.add(std::move(s));
}

void OoxmlParser::shapes(pugi::xml_node tree, int depth, std::vector<ShapeId>& out) {
  for (pugi::xml_node c : tree.children()) {
    if (c.type() != pugi::node_element) continue;
    if (localName(c.name()) == "AlternateContent") {
      // The first choice is what a current presentation program shows.
      pugi::xml_node branch = child(c, "Choice");
      if (!branch) branch = child(c, "Fallback");
      if (depth <= kMaxNesting) shapes(branch, depth + 1, out);
      continue;
    }
    if (std::optional<ShapeId> id = shape(c, depth)) out.push_back(*id);
  }
}

ReadOutcome OoxmlParser::parse() {
  ReadOutcome outcome;
  outcome.result = OpenResult::corrupt;
  std::string presentationPart = "ppt/presentation.xml";
  pugi::xml_document rootRels;
  if (package_.xml("_rels/.rels", rootRels)) {
    for (pugi::xml_node r : child(rootRels, "Relationships").children()) {
      const char* type = attribute(r, "Type");
      const char* target = attribute(r, "Target");
      if (type && target && std::string_view(type).ends_with("/officeDocument")) {
        const std::string resolved = resolvePartName("", target);
        if (!resolved.empty()) presentationPart = resolved;
        break;
      }
    }
  }
  pugi::xml_document presentation;
  pugi::xml_document rels;
  const bool read = package_.xml(presentationPart, presentation);
  // A package without a presentation part is another kind of document.
  if ((!read && !package_.damaged()) || (read && !child(presentation, "presentation"))) {
    outcome.result = OpenResult::notPresentation;
    return outcome;
  }
  if (!read || !package_.xml(relsName(presentationPart), rels)) return outcome;
  const std::string folder = folderOf(presentationPart);
  pugi::xml_node list = child(child(presentation, "presentation"), "sldIdLst");
  for (pugi::xml_node id : list.children()) {
    if (localName(id.name()) != "sldId") continue;
    if (document_.slides.size() >= kMaxSlides) break;
    slideNumber_ = static_cast<int>(document_.slides.size()) + 1;
    const char* rid = attribute(id, "id", true);
    std::string target;
    for (pugi::xml_node r : child(rels, "Relationships").children()) {
      const char* rId = attribute(r, "Id");
      const char* t = attribute(r, "Target");
      if (rid && rId && t && std::string_view(rId) == rid) {
        target = resolvePartName(folder, t);
        break;
      }
    }
    pugi::xml_document slide;
    if (target.empty() || !package_.xml(target, slide)) {
      if (package_.refused()) return outcome;
      // A slide that is listed but missing or unreadable keeps its place.
      package_.forgive();
      document_.addDamagedSlide();
      continue;
    }
    std::vector<ShapeId> top;
    shapes(child(child(child(slide, "sld"), "cSld"), "spTree"), 1, top);
    document_.slides.push_back(std::move(top));
    if (document_.overTextBound()) {
      outcome.result = OpenResult::tooLarge;
      return outcome;
    }
  }
  if (package_.damaged()) return outcome;
  outcome.result = OpenResult::ok;
  outcome.document = std::move(document_);
  return outcome;
}

void logZipError(const std::string& what, int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  platform::logInfo("libzip", "cannot open " + what + ": " + zip_error_strerror(&error));
  zip_error_fini(&error);
}

ReadOutcome readArchive(zip_t* archive) {
  if (!archive) {
    ReadOutcome outcome;
    outcome.result = OpenResult::corrupt;
    return outcome;
  }
  Package package(archive);
  if (zip_get_num_entries(archive, 0) > kMaxEntries) {
    ReadOutcome outcome;
    outcome.result = OpenResult::corrupt;
    return outcome;
  }
  OoxmlParser parser(package);
  return parser.parse();
}

}  // namespace

std::string resolvePartName(std::string_view baseFolder, std::string_view target) {
  std::string path = target.starts_with("/") ? std::string(target.substr(1))
                                             : std::string(baseFolder) + std::string(target);
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string piece = path.substr(start, slash - start);
    if (piece == "..") {
      if (parts.empty()) return {};
      parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

ReadOutcome readOoxmlFile(std::string_view fileName) {
  int error = 0;
  zip_t* archive = zip_open(std::string(fileName).c_str(), ZIP_RDONLY, &error);
  if (!archive) logZipError(std::string(fileName), error);
  return readArchive(archive);
}

ReadOutcome readOoxmlMemory(std::span<const std::uint8_t> bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  if (source && !archive) zip_source_free(source);
  if (!archive) logZipError("a package in memory", zip_error_code_zip(&error));
  zip_error_fini(&error);
  return readArchive(archive);
}

}  // namespace lamina::presentation

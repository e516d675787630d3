#include "presentation/ooxml_reader.h"

#include <optional>
#include <pugixml.hpp>
#include <utility>
#include <vector>

#include "platform/cp1252.h"
#include "presentation/zip_package.h"

namespace lamina::presentation {

namespace {

constexpr unsigned kXmlOptions =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_ws_pcdata_single;

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
    cp1252::appendUtf16(out, cp1252::decodeUtf8(utf8, pos));
  }
  return out;
}

bool isTrue(const char* value) {
  if (!value) return false;
  const std::string_view v(value);
  return v == "1" || v == "true" || v == "on";
}

// Parts as XML, with what their reading came to: a damaged part costs its
// slide, a part over the bounds costs the whole package.
class Package {
 public:
  explicit Package(ZipPackage zip) : zip_(std::move(zip)) {}

  bool xml(const std::string& name, pugi::xml_document& doc) {
    std::string bytes;
    // Part names are matched ignoring case, as the writers of these packages do.
    const MemberResult result = zip_.read(name, bytes, NameMatch::anyCase);
    if (result == MemberResult::overBounds) refused_ = true;
    if (result == MemberResult::unreadable) damaged_ = true;
    if (result != MemberResult::ok) return false;
    if (doc.load_buffer(bytes.data(), bytes.size(), kXmlOptions)) return true;
    damaged_ = true;
    return false;
  }

  // True once a part was present but unreadable, oversized or not XML.
  bool damaged() const { return damaged_ || refused_; }
  // True once a part was over the limits: a hostile package, read no further.
  bool refused() const { return refused_; }
  // Forgets an unreadable part, whose loss the caller has taken in.
  void forgive() { damaged_ = false; }

 private:
  ZipPackage zip_;
  bool damaged_ = false;
  bool refused_ = false;
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

ReadOutcome readPackage(ZipPackage zip) {
  if (!zip.isOpen()) {
    ReadOutcome outcome;
    outcome.result = OpenResult::corrupt;
    return outcome;
  }
  Package package(std::move(zip));
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
  return readPackage(ZipPackage::openFile(fileName));
}

ReadOutcome readOoxmlMemory(std::span<const std::uint8_t> bytes) {
  return readPackage(ZipPackage::openMemory(bytes));
}

}  // namespace lamina::presentation

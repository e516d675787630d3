#include "presentation/odf_reader.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

#include "platform/cp1252.h"
#include "presentation/zip_package.h"

namespace lamina::presentation {

namespace {

// A flat document carries its pictures inline, so it may be larger than any
// one member of a package.
constexpr std::uint64_t kMaxFlatSize = 256u << 20;
// All the text of one presentation; more is a crafted file, not a deck.
constexpr std::size_t kMaxText = 64u << 20;
// Spans, links and lists inside one another; deeper content is dropped, as
// shapes nested deeper than kMaxNesting are.
constexpr int kMaxTextNesting = 128;
// Repeated table rows and cells are written once with a count.
constexpr long kMaxRepeat = 1024;

// Whitespace-only character data between spans is text in OpenDocument.
constexpr unsigned kXmlOptions =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_ws_pcdata;

constexpr std::string_view kPresentationType = "application/vnd.oasis.opendocument.presentation";
constexpr std::string_view kTemplateType =
    "application/vnd.oasis.opendocument.presentation-template";

enum class Ns : std::uint8_t {
  other,
  office,
  text,
  draw,
  dr3d,
  presentation,
  table,
  svg,
  manifest
};

// Element names are matched by namespace, not by the prefix a writer chose.
// Writers declare their namespaces on the root element; a prefix declared
// nowhere is taken as the usual prefix of that name.
class Names {
 public:
  explicit Names(pugi::xml_node root) {
    static constexpr std::pair<std::string_view, Ns> kUris[] = {
        {"urn:oasis:names:tc:opendocument:xmlns:office:1.0", Ns::office},
        {"urn:oasis:names:tc:opendocument:xmlns:text:1.0", Ns::text},
        {"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0", Ns::draw},
        {"urn:oasis:names:tc:opendocument:xmlns:dr3d:1.0", Ns::dr3d},
        {"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0", Ns::presentation},
        {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", Ns::table},
        {"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0", Ns::svg},
        {"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0", Ns::manifest},
    };
    prefixes_ = {{"office", Ns::office},
                 {"text", Ns::text},
                 {"draw", Ns::draw},
                 {"dr3d", Ns::dr3d},
                 {"presentation", Ns::presentation},
                 {"table", Ns::table},
                 {"svg", Ns::svg},
                 {"manifest", Ns::manifest}};
    for (pugi::xml_attribute a : root.attributes()) {
      const std::string_view name(a.name());
      std::string prefix;
      if (name == "xmlns") {
        prefix.clear();
      } else if (name.starts_with("xmlns:")) {
        prefix = std::string(name.substr(6));
      } else {
        continue;
      }
      Ns ns = Ns::other;
      for (const auto& [uri, known] : kUris) {
        if (uri == a.value()) ns = known;
      }
      std::erase_if(prefixes_, [&](const auto& p) { return p.first == prefix; });
      prefixes_.emplace_back(std::move(prefix), ns);
    }
  }

  bool is(pugi::xml_node node, Ns ns, std::string_view local) const {
    if (node.type() != pugi::node_element) return false;
    const auto [nodeNs, nodeLocal] = split(node.name());
    return nodeNs == ns && nodeLocal == local;
  }

  std::pair<Ns, std::string_view> split(const char* qualified) const {
    const std::string_view q(qualified);
    const std::size_t colon = q.find(':');
    const std::string_view prefix = colon == std::string_view::npos ? "" : q.substr(0, colon);
    const std::string_view local = colon == std::string_view::npos ? q : q.substr(colon + 1);
    for (const auto& [p, ns] : prefixes_) {
      if (p == prefix) return {ns, local};
    }
    return {Ns::other, local};
  }

  pugi::xml_node child(pugi::xml_node node, Ns ns, std::string_view local) const {
    for (pugi::xml_node c : node.children()) {
      if (is(c, ns, local)) return c;
    }
    return {};
  }

  const char* attribute(pugi::xml_node node, Ns ns, std::string_view local) const {
    for (pugi::xml_attribute a : node.attributes()) {
      const auto [attrNs, attrLocal] = split(a.name());
      if (attrNs == ns && attrLocal == local) return a.value();
    }
    return nullptr;
  }

 private:
  std::vector<std::pair<std::string, Ns>> prefixes_;
};

std::u16string utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    cp1252::appendUtf16(out, cp1252::decodeUtf8(utf8, pos));
  }
  return out;
}

// A count attribute: a positive decimal number, else fallback.
long count(const char* value, long fallback, long limit) {
  if (!value) return fallback;
  const std::string_view v(value);
  long n = 0;
  const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (error == std::errc::result_out_of_range && v.front() != '-') return limit;
  if (error != std::errc() || end != v.data() + v.size() || n < 1) return fallback;
  return std::min(n, limit);
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool isPresentationType(std::string_view type) {
  type = trimmed(type);
  return type == kPresentationType || type == kTemplateType;
}

class OdfParser {
 public:
  explicit OdfParser(pugi::xml_node root) : names_(root) {}
  // root is office:document-content or office:document.
  ReadOutcome parse(pugi::xml_node root);

 private:
  // One paragraph's text with its white space collapsed as it goes.
  struct Paragraph {
    std::string& out;
    bool blank = true;  // the last character was a collapsible blank, or none yet
  };

  void shapes(pugi::xml_node parent, int depth, std::vector<ShapeId>& out);
  std::optional<ShapeId> shape(pugi::xml_node node, int depth);
  ShapeId table(pugi::xml_node frame, pugi::xml_node tbl);
  void rows(pugi::xml_node parent, int depth, std::vector<ShapeId>& cells);
  std::string paragraphs(pugi::xml_node container);
  void paragraphsInto(pugi::xml_node container, int depth, std::string& out, bool& first);
  void inlineText(pugi::xml_node node, int depth, Paragraph& p);
  std::string description(pugi::xml_node node) const;
  bool append(std::string& out, std::string_view text);
  // Counts cells handed out, repeated ones each time; false past the bound.
  bool takeMembers(std::size_t n);
  ShapeId add(Shape shape);

  Names names_;
  Document document_;
  std::string slideNumber_;
  std::size_t textBytes_ = 0;
  std::size_t members_ = 0;
  bool overflow_ = false;
};

bool OdfParser::append(std::string& out, std::string_view text) {
  if (text.size() > kMaxText - textBytes_) {
    overflow_ = true;
    return false;
  }
  textBytes_ += text.size();
  out += text;
  return true;
}

bool OdfParser::takeMembers(std::size_t n) {
  if (n > kMaxShapes - members_) {
    overflow_ = true;
    return false;
  }
  members_ += n;
  return true;
}

ShapeId OdfParser::add(Shape shape) {
  if (document_.shapes.size() >= kMaxShapes) overflow_ = true;
  return document_.add(std::move(shape));
}

std::string OdfParser::description(pugi::xml_node node) const {
  std::string out;
  pugi::xml_node desc = names_.child(node, Ns::svg, "desc");
  for (pugi::xml_node c : desc.children()) {
    if (c.type() != pugi::node_pcdata && c.type() != pugi::node_cdata) continue;
    for (const char* v = c.value(); *v; ++v) out += *v == '\n' ? '\r' : *v;
  }
  return out;
}

void OdfParser::inlineText(pugi::xml_node node, int depth, Paragraph& p) {
  if (depth > kMaxTextNesting) return;
  for (pugi::xml_node c : node.children()) {
    if (overflow_) return;
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
      std::string text;
      for (const char* v = c.value(); *v; ++v) {
        if (!isBlank(*v)) {
          text += *v;
          p.blank = false;
        } else if (!p.blank) {
          text += ' ';
          p.blank = true;
        }
      }
      append(p.out, text);
      continue;
    }
    if (c.type() != pugi::node_element) continue;
    const auto [ns, local] = names_.split(c.name());
    if (ns == Ns::text && local == "s") {
      const auto n = static_cast<std::size_t>(
          count(names_.attribute(c, Ns::text, "c"), 1, static_cast<long>(kMaxText)));
      if (n > kMaxText - textBytes_) {
        overflow_ = true;
        return;
      }
      append(p.out, std::string(n, ' '));
      p.blank = false;
    } else if (ns == Ns::text && local == "tab") {
      append(p.out, "\t");
      p.blank = false;
    } else if (ns == Ns::text && local == "line-break") {
      append(p.out, "\v");
      p.blank = false;
    } else if (ns == Ns::text && local == "page-number") {
      append(p.out, slideNumber_);
      p.blank = false;
    } else if ((ns == Ns::text &&
                (local == "note-body" || local == "ruby-text" || local == "number")) ||
               (ns == Ns::office && (local == "annotation" || local == "annotation-end")) ||
               ns == Ns::draw || ns == Ns::dr3d) {
      // Notes, ruby, comments, list numbers and shapes anchored in the text.
    } else {
      inlineText(c, depth + 1, p);
    }
  }
}

void OdfParser::paragraphsInto(pugi::xml_node container, int depth, std::string& out, bool& first) {
  if (depth > kMaxTextNesting) return;
  for (pugi::xml_node c : container.children()) {
    if (overflow_) return;
    if (c.type() != pugi::node_element) continue;
    const auto [ns, local] = names_.split(c.name());
    if (ns != Ns::text) continue;
    if (local == "p" || local == "h") {
      if (!first) append(out, "\r");
      first = false;
      Paragraph p{out};
      inlineText(c, depth + 1, p);
    } else if (local == "list" || local == "list-item" || local == "list-header" ||
               local == "section") {
      paragraphsInto(c, depth + 1, out, first);
    }
  }
}

std::string OdfParser::paragraphs(pugi::xml_node container) {
  std::string out;
  bool first = true;
  paragraphsInto(container, 0, out, first);
  return out;
}

void OdfParser::rows(pugi::xml_node parent, int depth, std::vector<ShapeId>& cells) {
  if (depth > kMaxNesting) return;
  for (pugi::xml_node c : parent.children()) {
    if (overflow_) return;
    if (c.type() != pugi::node_element) continue;
    const auto [ns, local] = names_.split(c.name());
    if (ns != Ns::table) continue;
    if (local == "table-header-rows" || local == "table-rows" || local == "table-row-group") {
      rows(c, depth + 1, cells);
      continue;
    }
    if (local != "table-row") continue;
    std::vector<ShapeId> row;
    for (pugi::xml_node cell : c.children()) {
      if (!names_.is(cell, Ns::table, "table-cell")) continue;
      Shape s;
      s.textFrame = true;
      s.text = utf16(paragraphs(cell));
      const ShapeId id = add(std::move(s));
      const long repeat =
          count(names_.attribute(cell, Ns::table, "number-columns-repeated"), 1, kMaxRepeat);
      if (!takeMembers(static_cast<std::size_t>(repeat))) return;
      row.insert(row.end(), static_cast<std::size_t>(repeat), id);
    }
    const long repeat =
        count(names_.attribute(c, Ns::table, "number-rows-repeated"), 1, kMaxRepeat);
    cells.insert(cells.end(), row.begin(), row.end());
    for (long r = 1; r < repeat; ++r) {
      if (!takeMembers(row.size())) return;
      cells.insert(cells.end(), row.begin(), row.end());
    }
  }
}

ShapeId OdfParser::table(pugi::xml_node frame, pugi::xml_node tbl) {
  Shape group;
  group.alternativeText = utf16(description(frame));
  rows(tbl, 0, group.members);
  return add(std::move(group));
}

std::optional<ShapeId> OdfParser::shape(pugi::xml_node node, int depth) {
  if (depth > kMaxNesting || overflow_) return std::nullopt;
  const auto [ns, local] = names_.split(node.name());
  Shape s;
  if (ns == Ns::draw && local == "frame") {
    pugi::xml_node content;
    for (pugi::xml_node c : node.children()) {
      const auto [cns, clocal] = names_.split(c.name());
      if ((cns == Ns::draw && (clocal == "text-box" || clocal == "image" || clocal == "object" ||
                               clocal == "object-ole" || clocal == "plugin" || clocal == "applet" ||
                               clocal == "floating-frame")) ||
          (cns == Ns::table && clocal == "table")) {
        content = c;
        break;
      }
    }
    const bool textBox = content && names_.is(content, Ns::draw, "text-box");
    const char* placeholder = names_.attribute(node, Ns::presentation, "placeholder");
    if (content && names_.is(content, Ns::table, "table")) return table(node, content);
    if (textBox || (placeholder && std::string_view(placeholder) == "true")) {
      // A placeholder's prompt lives in the layout; only its own text counts.
      s.textFrame = true;
      if (textBox) s.text = utf16(paragraphs(content));
    } else {
      s.alternativeText = utf16(description(node));
    }
  } else if (ns == Ns::draw &&
             (local == "rect" || local == "ellipse" || local == "circle" ||
              local == "custom-shape" || local == "polygon" || local == "regular-polygon" ||
              local == "polyline" || local == "path" || local == "caption")) {
    s.textFrame = true;
    s.text = utf16(paragraphs(node));
  } else if (ns == Ns::draw && (local == "line" || local == "connector" || local == "measure")) {
    const std::string text = paragraphs(node);
    if (text.find_first_not_of('\r') != std::string::npos) {
      s.textFrame = true;
      s.text = utf16(text);
    } else {
      s.alternativeText = utf16(description(node));
    }
  } else if ((ns == Ns::draw && (local == "control" || local == "page-thumbnail")) ||
             (ns == Ns::dr3d && local == "scene")) {
    s.alternativeText = utf16(description(node));
  } else if (ns == Ns::draw && local == "g") {
    s.alternativeText = utf16(description(node));
    shapes(node, depth + 1, s.members);
  } else {
    return std::nullopt;
  }
  return add(std::move(s));
}

void OdfParser::shapes(pugi::xml_node parent, int depth, std::vector<ShapeId>& out) {
  for (pugi::xml_node c : parent.children()) {
    if (overflow_) return;
    if (c.type() != pugi::node_element) continue;
    if (names_.is(c, Ns::draw, "a")) {
      // A link around a shape: the shape is what the slide shows.
      if (depth <= kMaxNesting) shapes(c, depth + 1, out);
      continue;
    }
    if (std::optional<ShapeId> id = shape(c, depth)) out.push_back(*id);
  }
}

ReadOutcome OdfParser::parse(pugi::xml_node root) {
  ReadOutcome outcome;
  outcome.result = OpenResult::corrupt;
  pugi::xml_node presentation =
      names_.child(names_.child(root, Ns::office, "body"), Ns::office, "presentation");
  if (!presentation) return outcome;
  for (pugi::xml_node page : presentation.children()) {
    if (!names_.is(page, Ns::draw, "page")) continue;
    if (document_.slides.size() >= kMaxSlides) break;
    slideNumber_ = std::to_string(document_.slides.size() + 1);
    std::vector<ShapeId> top;
    shapes(page, 1, top);
    document_.slides.push_back(std::move(top));
  }
  if (overflow_) return outcome;
  outcome.result = OpenResult::ok;
  outcome.document = std::move(document_);
  return outcome;
}

ReadOutcome refused(OpenResult result) {
  ReadOutcome outcome;
  outcome.result = result;
  return outcome;
}

ReadOutcome readContent(pugi::xml_document& doc, std::string_view rootName) {
  pugi::xml_node root = doc.document_element();
  OdfParser parser(root);
  // The root's own name is matched with the namespaces it declares.
  if (!Names(root).is(root, Ns::office, rootName)) return refused(OpenResult::corrupt);
  return parser.parse(root);
}

ReadOutcome readPackage(ZipPackage package) {
  if (!package.isOpen()) return refused(OpenResult::corrupt);
  const bool hasMimetype = package.has("mimetype");
  const bool hasManifest = package.has("META-INF/manifest.xml");
  const bool hasContent = package.has("content.xml");
  // A zip without any of these is some other kind of package.
  if (!hasMimetype && !hasManifest && !hasContent) return refused(OpenResult::notPresentation);
  if (hasMimetype) {
    const std::optional<std::string> type = package.member("mimetype");
    if (!type || !isPresentationType(*type)) return refused(OpenResult::corrupt);
  }
  if (hasManifest) {
    const std::optional<std::string> bytes = package.member("META-INF/manifest.xml");
    pugi::xml_document manifest;
    if (!bytes || !manifest.load_buffer(bytes->data(), bytes->size(), kXmlOptions)) {
      return refused(OpenResult::corrupt);
    }
    const Names names(manifest.document_element());
    bool encrypted = false;
    for (pugi::xml_node entry : manifest.document_element().children()) {
      if (names.child(entry, Ns::manifest, "encryption-data")) encrypted = true;
      const char* path = names.attribute(entry, Ns::manifest, "full-path");
      const char* type = names.attribute(entry, Ns::manifest, "media-type");
      if (!hasMimetype && path && type && std::string_view(path) == "/" &&
          !isPresentationType(type)) {
        return refused(OpenResult::corrupt);
      }
    }
    if (encrypted) return refused(OpenResult::encrypted);
  }
  std::optional<std::string> content = package.member("content.xml");
  pugi::xml_document doc;
  if (!content || !doc.load_buffer_inplace(content->data(), content->size(), kXmlOptions)) {
    return refused(OpenResult::corrupt);
  }
  return readContent(doc, "document-content");
}

// Parsed in place: a flat document may be large, and one copy is enough.
ReadOutcome readFlat(std::vector<std::uint8_t> bytes) {
  pugi::xml_document doc;
  if (!doc.load_buffer_inplace(bytes.data(), bytes.size(), kXmlOptions)) {
    return refused(OpenResult::corrupt);
  }
  pugi::xml_node root = doc.document_element();
  const Names names(root);
  if (!names.is(root, Ns::office, "document")) return refused(OpenResult::notPresentation);
  const char* type = names.attribute(root, Ns::office, "mimetype");
  if (type && !isPresentationType(type)) return refused(OpenResult::corrupt);
  return readContent(doc, "document");
}

}  // namespace

ReadOutcome readOdfFile(std::string_view fileName) {
  std::ifstream in{std::string(fileName), std::ios::binary};
  if (!in) return {};
  std::uint8_t head[64] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const auto got = static_cast<std::size_t>(in.gcount());
  const Container container = sniffContainer({head, got});
  if (container == Container::zip || container == Container::odfPackage) {
    return readPackage(ZipPackage::openFile(fileName));
  }
  if (container != Container::xml) return {};
  in.clear();
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::uint64_t>(in.tellg());
  if (size > kMaxFlatSize) return refused(OpenResult::corrupt);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  if (static_cast<std::uint64_t>(in.gcount()) != size) return refused(OpenResult::corrupt);
  return readFlat(std::move(bytes));
}

ReadOutcome readOdfMemory(std::span<const std::uint8_t> bytes) {
  const Container container = sniffContainer(bytes.first(std::min<std::size_t>(bytes.size(), 64)));
  if (container == Container::zip || container == Container::odfPackage) {
    return readPackage(ZipPackage::openMemory(bytes));
  }
  if (container != Container::xml || bytes.size() > kMaxFlatSize) return {};
  return readFlat({bytes.begin(), bytes.end()});
}

}  // namespace lamina::presentation

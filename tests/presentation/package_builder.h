#pragma once
// Small Office Open XML packages written with libzip for the reader and
// converter tests: parts by name, and the XML of a presentation, its slides
// and shapes.
#include <zip.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace lamina::testing {

inline const std::string kNs =
    R"( xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main")"
    R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")"
    R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")"
    R"( xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")";

inline const std::string kRootRels =
    R"(<Relationships><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/)"
    R"(officeDocument/2006/relationships/officeDocument" Target="ppt/presentation.xml"/>)"
    R"(</Relationships>)";

using Parts = std::map<std::string, std::string>;

inline std::string presentationXml(int slides) {
  std::string list;
  for (int i = slides; i >= 1; --i) {  // the list order, not the part names, is the order
    list +=
        "<p:sldId id=\"" + std::to_string(255 + i) + "\" r:id=\"rId" + std::to_string(i) + "\"/>";
  }
  return "<p:presentation" + kNs + "><p:sldIdLst>" + list + "</p:sldIdLst></p:presentation>";
}

inline std::string presentationRels(int slides) {
  std::string rels = "<Relationships>";
  for (int i = 1; i <= slides; ++i) {
    rels += "<Relationship Id=\"rId" + std::to_string(i) + "\" Target=\"slides/slide" +
            std::to_string(i) + ".xml\"/>";
  }
  return rels + "</Relationships>";
}

inline std::string slideXml(const std::string& tree) {
  return "<p:sld" + kNs + "><p:cSld><p:spTree>" + tree + "</p:spTree></p:cSld></p:sld>";
}

inline std::string nv(const std::string& kind, const std::string& descr = {}) {
  return "<p:nv" + kind + "Pr><p:cNvPr id=\"2\" name=\"n\"" +
         (descr.empty() ? "" : " descr=\"" + descr + "\"") + "/></p:nv" + kind + "Pr>";
}

inline std::string sp(const std::string& paragraphs, const std::string& descr = {},
                      const std::string& geometry = "rect") {
  return "<p:sp>" + nv("Sp", descr) + "<p:spPr><a:prstGeom prst=\"" + geometry +
         "\"/></p:spPr><p:txBody><a:bodyPr/>" + paragraphs + "</p:txBody></p:sp>";
}

// One paragraph of one run.
inline std::string para(const std::string& text) {
  return "<a:p><a:r><a:t>" + text + "</a:t></a:r></a:p>";
}

// A package whose slide list names trees.size() slides, the first listed
// holding trees.back(); see presentationXml.
inline Parts slideParts(const std::vector<std::string>& trees) {
  Parts parts = {
      {"_rels/.rels", kRootRels},
      {"ppt/presentation.xml", presentationXml(static_cast<int>(trees.size()))},
      {"ppt/_rels/presentation.xml.rels", presentationRels(static_cast<int>(trees.size()))}};
  for (std::size_t i = 0; i < trees.size(); ++i) {
    parts["ppt/slides/slide" + std::to_string(i + 1) + ".xml"] = slideXml(trees[i]);
  }
  return parts;
}

// Writes parts as a zip package; false when libzip refused.
inline bool writePackage(const std::filesystem::path& path, const Parts& parts) {
  std::filesystem::remove(path);
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) return false;
  for (const auto& [name, content] : parts) {
    zip_source_t* s = zip_source_buffer(z, content.data(), content.size(), 0);
    zip_file_add(z, name.c_str(), s, ZIP_FL_OVERWRITE);
  }
  return zip_close(z) == 0;
}

}  // namespace lamina::testing

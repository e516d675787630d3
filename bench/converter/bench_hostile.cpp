// Times the reader and the converter on crafted binary presentations that
// once cost minutes or gigabytes: a long chain of edits over one large persist
// directory, and many shapes showing one large text of the slide list.
// Prints wall time, result and peak memory of each.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/converter/bench_measure.h"
#include "converter/convert.h"
#include "presentation/native_reader.h"

namespace {

namespace fs = std::filesystem;
using lamina::bench::CountingSink;
using lamina::bench::peakKilobytes;
using lamina::bench::resetPeak;
using Bytes = std::string;
using Clock = std::chrono::steady_clock;

Bytes u16(unsigned v) {
  return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
Bytes u32(std::uint32_t v) {
  return u16(v & 0xFFFF) + u16(v >> 16);
}
Bytes atom(unsigned type, const Bytes& body, unsigned instance = 0) {
  return u16(instance << 4) + u16(type) + u32(static_cast<std::uint32_t>(body.size())) + body;
}
Bytes container(unsigned type, const std::vector<Bytes>& children) {
  Bytes body;
  for (const Bytes& c : children) body += c;
  return u16(0xF) + u16(type) + u32(static_cast<std::uint32_t>(body.size())) + body;
}
Bytes shape(unsigned type, const Bytes& extra = {}) {
  return container(0xF004, {atom(0xF00A, u32(1024) + u32(type == 0 ? 5 : 0), type) + extra});
}
Bytes slide(const std::vector<Bytes>& shapes) {
  std::vector<Bytes> tree{shape(0)};
  tree.insert(tree.end(), shapes.begin(), shapes.end());
  return container(0x03EE, {container(0x040C, {container(0xF002, {container(0xF003, tree)})})});
}
Bytes userEdit(std::uint32_t previous, std::uint32_t directory) {
  return atom(0x0FF5, u32(0) + u16(0) + Bytes{0, 3} + u32(previous) + u32(directory) + u32(1) +
                          u32(10) + u16(1) + u16(0));
}
Bytes currentUser(std::uint32_t edit) {
  return atom(0x0FF6,
              u32(20) + u32(0xE391C05F) + u32(edit) + u16(0) + u16(0x03F4) + Bytes{3, 0} + u16(0));
}

struct Streams {
  Bytes document;
  Bytes user;
};

// One slide whose shapes all refer to the slide list's first text, saved by
// `edits` edits that share one persist directory of `filler` extra entries.
Streams build(int shapes, std::size_t textLength, int edits, std::uint32_t filler) {
  Streams s;
  const Bytes text(2 * textLength, 'x');
  const auto doc = static_cast<std::uint32_t>(s.document.size());
  s.document += container(0x03E8, {atom(0x03E9, Bytes(40, '\0')),
                                   container(0x0FF0, {atom(0x03F3, u32(2) + Bytes(16, '\0')),
                                                      atom(0x0F9F, u32(0)), atom(0x0FA0, text)})});
  const auto slideAt = static_cast<std::uint32_t>(s.document.size());
  s.document += slide(std::vector<Bytes>(static_cast<std::size_t>(shapes),
                                         shape(1, container(0xF00D, {atom(0x0F9E, u32(0))}))));
  Bytes directory = u32(1 | (2u << 20)) + u32(doc) + u32(slideAt);
  for (std::uint32_t first = 3; first < 3 + filler; first += 4000) {
    const std::uint32_t count = std::min<std::uint32_t>(4000, 3 + filler - first);
    directory += u32(first | (count << 20)) + Bytes(4 * count, '\0');
  }
  const auto directoryAt = static_cast<std::uint32_t>(s.document.size());
  s.document += atom(0x1772, directory);
  std::uint32_t edit = 0;
  for (int i = 0; i < edits; ++i) {
    const auto at = static_cast<std::uint32_t>(s.document.size());
    s.document += userEdit(edit, directoryAt);
    edit = at;
  }
  s.user = currentUser(edit);
  return s;
}

bool writeCompoundFile(const fs::path& path, const Streams& s) {
  GError* error = nullptr;
  GsfOutput* file = gsf_output_stdio_new(path.c_str(), &error);
  if (error) g_error_free(error);
  if (!file) return false;
  GsfOutfile* ole = gsf_outfile_msole_new(file);
  for (const auto& [name, bytes] :
       {std::pair{"Current User", &s.user}, std::pair{"PowerPoint Document", &s.document}}) {
    GsfOutput* child = gsf_outfile_new_child(ole, name, FALSE);
    gsf_output_write(child, bytes->size(), reinterpret_cast<const guint8*>(bytes->data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  g_object_unref(file);
  return true;
}

void run(const char* label, const Streams& streams) {
  const fs::path path =
      fs::temp_directory_path() / ("lamina-bench-hostile-" + std::to_string(std::rand()) + ".ppt");
  if (!writeCompoundFile(path, streams)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return;
  }
  resetPeak();
  const long before = peakKilobytes();
  lamina::presentation::NativeReader reader;
  lamina::converter::SilentConsole console;
  lamina::converter::Converter converter(reader, console);
  CountingSink sink;
  const auto start = Clock::now();
  const auto result = converter.convertPresentation(path.string(), sink, path.string());
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf(
      "%s: %zu kB file, %.3f s, %s, %zu bytes of text, peak memory %ld kB (%ld kB before)\n", label,
      (streams.document.size() + streams.user.size()) / 1024, seconds,
      std::string(lamina::converter::resultText(result)).c_str(), sink.bytes, peakKilobytes(),
      before);
  fs::remove(path);
}

}  // namespace

int main() {
  gsf_init();
  run("100 edits over a 1 MB directory", build(1, 10, 100, 250000));
  run("4096 edits over a 1 MB directory", build(1, 10, 4096, 250000));
  run("10 shapes showing one 1 M-character text", build(10, 1u << 20, 1, 0));
  run("100 shapes showing one 1 M-character text", build(100, 1u << 20, 1, 0));
  return 0;
}

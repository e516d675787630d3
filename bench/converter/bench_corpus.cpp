// Converts every file of the presentation corpus and prints the wall time and
// the peak memory, beside catppt (catdoc) on the same binary files, and then
// the OpenDocument set (the corpus's odp/files beside its files).
// Usage: bench_corpus [corpus folder]   (default ../shared/corpus/files)
#include <algorithm>
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
using Clock = std::chrono::steady_clock;

bool isBinary(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == ".ppt" || ext == ".pps" || ext == ".pot";
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path("../shared/corpus/files");
  std::vector<fs::path> files;
  std::uintmax_t largest = 0;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(corpus, error)) {
    if (!entry.is_regular_file()) continue;
    files.push_back(entry.path());
    largest = std::max(largest, entry.file_size());
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "no files in %s\n", corpus.c_str());
    return 1;
  }

  lamina::presentation::NativeReader reader;
  lamina::converter::SilentConsole console;
  lamina::converter::Converter converter(reader, console);
  const long startPeak = peakKilobytes();

  auto convert = [&](bool binaryOnly, std::size_t& count, std::size_t& text) {
    const auto start = Clock::now();
    for (const fs::path& f : files) {
      if (binaryOnly && !isBinary(f)) continue;
      CountingSink sink;
      converter.convertPresentation(f.string(), sink, f.string());
      text += sink.bytes;
      ++count;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  std::size_t allCount = 0, allText = 0, pptCount = 0, pptText = 0;
  const double all = convert(false, allCount, allText);
  const long peak = peakKilobytes();
  resetPeak();
  const long pptStart = peakKilobytes();
  const double ppt = convert(true, pptCount, pptText);
  const long pptPeak = peakKilobytes();

  std::printf("lamina: %zu files in %.3f s, %zu bytes of text\n", allCount, all, allText);
  std::printf("lamina: peak memory %ld kB (%ld kB before the first file; largest file %ju kB)\n",
              peak, startPeak, largest / 1024);
  std::printf("lamina: %zu binary files in %.3f s, peak memory %ld kB (%ld kB before)\n", pptCount,
              ppt, pptPeak, pptStart);

  // The OpenDocument set lies beside the corpus's files.
  std::vector<fs::path> odp;
  for (const auto& entry : fs::directory_iterator(corpus.parent_path() / "odp" / "files", error)) {
    if (entry.is_regular_file()) odp.push_back(entry.path());
  }
  std::sort(odp.begin(), odp.end());
  resetPeak();
  const long odpStart = peakKilobytes();
  const auto odpBegin = Clock::now();
  std::size_t odpText = 0;
  for (const fs::path& f : odp) {
    CountingSink sink;
    converter.convertPresentation(f.string(), sink, f.string());
    odpText += sink.bytes;
  }
  const double odpTime = std::chrono::duration<double>(Clock::now() - odpBegin).count();
  std::printf(
      "lamina: %zu OpenDocument files in %.3f s, %zu bytes of text, peak memory %ld kB "
      "(%ld kB before)\n",
      odp.size(), odpTime, odpText, peakKilobytes(), odpStart);

  // Each catppt run is measured by time(1), which notes its peak resident size.
  const fs::path sizes = fs::temp_directory_path() / "lamina-bench-catppt-sizes";
  fs::remove(sizes);
  const auto start = Clock::now();
  std::size_t ran = 0;
  for (const fs::path& f : files) {
    if (!isBinary(f)) continue;
    const std::string command = "timeout 30 /usr/bin/time -f %M -a -o '" + sizes.string() +
                                "' catppt '" + f.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == -1) break;
    ++ran;
  }
  const double cat = std::chrono::duration<double>(Clock::now() - start).count();
  long catPeak = 0;
  std::ifstream in(sizes);
  std::string line;
  while (std::getline(in, line))
    catPeak = std::max(catPeak, std::strtol(line.c_str(), nullptr, 10));
  fs::remove(sizes);
  std::printf("catppt: %zu binary files in %.3f s (one process each), peak memory %ld kB\n", ran,
              cat, catPeak);
  return 0;
}

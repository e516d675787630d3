#pragma once
// What the converter benchmarks measure: the text a conversion writes and
// the process's peak resident memory.
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "converter/convert.h"

namespace lamina::bench {

// Counts the bytes of text instead of keeping them.
class CountingSink final : public converter::OutputSink {
 public:
  std::size_t bytes = 0;
  bool write(std::string_view b) override {
    bytes += b.size();
    return true;
  }
};

// The peak resident size in kB, or -1 when the kernel does not say.
inline long peakKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Linux lets a process restart its peak count; older kernels keep the total.
inline void resetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

}  // namespace lamina::bench

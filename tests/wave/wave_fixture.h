#pragma once
// Helpers shared by the wave tests: wave images and files built in memory.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "wave/wave_player.h"

namespace lamina::wave::testing {

inline std::vector<std::uint8_t> waveImage(const std::vector<std::uint8_t>& samples,
                                           std::uint32_t rate = 11025, std::uint16_t bits = 8,
                                           std::uint16_t channels = 1) {
  std::vector<std::uint8_t> image(kWaveHeaderSize);
  makeWaveHeader(image, static_cast<std::uint32_t>(samples.size()), rate, bits, channels);
  image.insert(image.end(), samples.begin(), samples.end());
  return image;
}

inline void append32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

inline void appendChunk(std::vector<std::uint8_t>& v, const std::string& id,
                        const std::vector<std::uint8_t>& body) {
  v.insert(v.end(), id.begin(), id.end());
  append32(v, static_cast<std::uint32_t>(body.size()));
  v.insert(v.end(), body.begin(), body.end());
}

// 8-bit unsigned samples, a ramp that never sits at 128 for long.
inline std::vector<std::uint8_t> ramp(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7 % 251);
  return v;
}

class TempFile {
 public:
  explicit TempFile(const std::vector<std::uint8_t>& bytes, const std::string& name = "t.wav") {
    // Test processes run side by side, so the name must be unique.
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("lamina-wave-" + std::to_string(random()) +
                                                      "-" + std::to_string(random()) + "-" + name);
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace lamina::wave::testing

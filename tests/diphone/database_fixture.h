#pragma once
// A small hand-made voice in a temporary directory: a letters directory, a
// unit database whose units hold known bytes, rules and exceptions files.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "diphone/database.h"
#include "diphone/letter_rules.h"

namespace lamina::diphone::testing {

namespace fs = std::filesystem;

inline void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::vector<std::uint8_t> waveFile(const std::vector<std::uint8_t>& samples) {
  std::vector<std::uint8_t> out = {'R',  'I',  'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V',  'E',  'f', 'm',
                                   't',  ' ',  16,  0,   0, 0, 1, 0, 1,   0,   0x11, 0x2B, 0,   0,
                                   0x11, 0x2B, 0,   0,   1, 0, 8, 0, 'd', 'a', 't',  'a'};
  const auto n = static_cast<std::uint32_t>(samples.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

// One index record as the file holds it.
inline std::vector<std::uint8_t> indexRecord(const std::string& name, std::uint16_t length,
                                             std::int32_t offset, int nameLength = -1) {
  std::vector<std::uint8_t> r(15, 0);
  r[0] = static_cast<std::uint8_t>(nameLength < 0 ? static_cast<int>(name.size()) : nameLength);
  for (std::size_t i = 0; i < name.size() && i < 8; ++i)
    r[1 + i] = static_cast<std::uint8_t>(name[i]);
  r[9] = static_cast<std::uint8_t>(length & 0xFF);
  r[10] = static_cast<std::uint8_t>(length >> 8);
  const auto o = static_cast<std::uint32_t>(offset);
  for (int i = 0; i < 4; ++i)
    r[11 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(o >> (8 * i));
  return r;
}

class VoiceDir : public ::testing::Test {
 protected:
  static fs::path uniqueRoot() {
    // Test processes run side by side, so the name must be unique.
    std::random_device random;
    return fs::temp_directory_path() /
           ("lamina-voice-" + std::to_string(random()) + "-" + std::to_string(random()));
  }

  void SetUp() override {
    fs::create_directories(root_ / "letras");
    fs::create_directories(root_ / "difones");
    writeText(root_ / "difones" / "regras.rgr", "(A)=a\n(K)=k\n(S)=s\n");
    writeText(root_ / "difones" / "portug.exc", "");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // Units as name -> (length, fill byte); written sorted, data in that order.
  void writeDatabase(const std::map<std::string, std::pair<std::uint16_t, std::uint8_t>>& units,
                     const std::string& base = "DIFONES2") {
    std::vector<std::uint8_t> index, data;
    // std::map orders by plain byte comparison, which is the index order.
    for (const auto& [name, unit] : units) {
      const auto rec = indexRecord(name, unit.first, static_cast<std::int32_t>(data.size()));
      index.insert(index.end(), rec.begin(), rec.end());
      data.insert(data.end(), unit.first, unit.second);
    }
    writeBytes(root_ / "difones" / (base + ".IND"), index);
    writeBytes(root_ / "difones" / (base + ".DIF"), data);
  }

  void writeLetter(const std::string& key, const std::vector<std::uint8_t>& samples) {
    writeBytes(root_ / "letras" / (key + ".wav"), waveFile(samples));
  }

  DataLocations locations() const {
    return {root_ / "ORALIS.INI", root_ / "letras", root_ / "difones"};
  }

  // Set before any member of a derived fixture is built from it.
  fs::path root_ = uniqueRoot();
  LetterRules rules_;
};

}  // namespace lamina::diphone::testing

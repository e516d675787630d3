#pragma once
// The diphone synthesizer's data: the letters directory of recorded sounds,
// the unit database (index in memory, data file open from start to stop),
// the letter-to-sound files and the 64000-byte sound buffer, with the
// synthesis settings that shape how units are joined.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/riff.h"

namespace lamina::diphone {

class LetterRules;

// diphoneStart results; speech start-up shows the number to the user.
enum class StartResult {
  ready = 0,
  noDatabase = 1,  // a directory, the index or the data file is missing
  noRules = 2,     // the rules or exceptions file cannot be loaded
};
std::string_view resultText(StartResult result);

struct SynthesisSettings {
  std::string baseName = "DIFONES2";
  int cutLength = 400;  // CORTEFON
  int keepLength = 0;   // SOBRAFON
  int wordPause = 100;  // INTERPAL
  // Fixed punctuation pauses, in bytes at 11025 bytes per second.
  int commaPause = 4000;
  int fullStopPause = 8000;
  int semicolonPause = 6000;
  int colonPause = 8000;
};

// Where diphoneStart looks: the configuration file read for [TRADUTOR]
// dirLetras and DIRDIFONES, and the directories used when those keys are
// absent.
struct DataLocations {
  std::filesystem::path configFile;
  std::filesystem::path defaultLettersDir;
  std::filesystem::path defaultDiphoneDir;

  // ORALIS.INI in the Windows directory; the program's own data otherwise.
  static DataLocations standard();
};

// One index record: a name of at most 8 upper-case characters and where its
// sound lies in the data file.
struct UnitRecord {
  std::string name;
  std::uint16_t length = 0;
  std::int32_t offset = 0;
  bool usable = true;  // false for names the record cannot hold (length byte above 8)
};

inline constexpr std::size_t kIndexRecordSize = 15;
inline constexpr std::size_t kMaxUnitName = 8;
inline constexpr std::size_t kSoundBufferSize = 64000;
using riff::kWaveHeaderSize;

// Length-prefixed name order of the index: byte by byte, a prefix first.
int compareUnitNames(std::string_view a, std::string_view b);

// The records of an index file's bytes; a trailing piece shorter than a
// record is ignored.
std::vector<UnitRecord> parseIndex(std::span<const std::uint8_t> bytes);

class DiphoneDatabase {
 public:
  DiphoneDatabase(LetterRules& rules, DataLocations locations);
  ~DiphoneDatabase();
  DiphoneDatabase(const DiphoneDatabase&) = delete;
  DiphoneDatabase& operator=(const DiphoneDatabase&) = delete;

  // Base name of the database files (at most 8 characters are kept).
  void setBaseName(std::string_view name);
  void setSynthesisCuts(int cutLength, int keepLength, int wordPause);
  const SynthesisSettings& settings() const { return settings_; }

  StartResult diphoneStart();
  void diphoneStop();
  bool ready() const { return ready_; }

  const std::filesystem::path& lettersDir() const { return lettersDir_; }
  const std::filesystem::path& diphoneDir() const { return diphoneDir_; }
  const std::vector<UnitRecord>& index() const { return index_; }

  // Binary search by name (upper-cased); nullptr when absent, too long, or
  // when its sound lies outside the data file.
  const UnitRecord* findUnit(std::string_view name) const;

  // Told of every look-up and whether it found a unit (for coverage
  // figures); empty by default.
  using LookupObserver = std::function<void(std::string_view name, bool found)>;
  void setLookupObserver(LookupObserver observer) { observer_ = std::move(observer); }

  // Reads `count` bytes of a unit's sound at its offset; false on a read
  // error (the caller treats that as a missing unit).
  bool readUnit(const UnitRecord& record, std::size_t count, std::vector<std::uint8_t>& out);

  // The 64000-byte sound buffer: a 44-byte wave header, then samples.
  std::vector<std::uint8_t>& soundBuffer() { return buffer_; }

 private:
  const UnitRecord* lookUp(std::string_view name) const;

  LetterRules& rules_;
  DataLocations locations_;
  SynthesisSettings settings_;
  bool ready_ = false;
  std::filesystem::path lettersDir_;
  std::filesystem::path diphoneDir_;
  std::vector<UnitRecord> index_;
  std::ifstream data_;
  std::uint64_t dataSize_ = 0;
  std::vector<std::uint8_t> buffer_;
  LookupObserver observer_;
};

}  // namespace lamina::diphone

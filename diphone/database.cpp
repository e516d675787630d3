#include "diphone/database.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "diphone/letter_rules.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace lamina::diphone {
namespace {

// Stands for "key absent" in profile reads: no configured path holds it.
constexpr std::string_view kAbsent = "\x01";
// Configured directories may be longer than the family's 80 characters:
// paths on this system often are, and a cut path could only fail.
constexpr std::size_t kMaxConfiguredPath = 4096;

fs::path configuredDirectory(const fs::path& configFile, std::string_view key,
                             const fs::path& fallback) {
  const std::string value =
      profile::readString(configFile, "TRADUTOR", key, kAbsent, kMaxConfiguredPath);
  return value == kAbsent ? fallback : fs::path(value);
}

bool isDirectory(const fs::path& p) {
  std::error_code ec;
  return !p.empty() && fs::is_directory(p, ec);
}

// The whole file, through the stream's own read, which reports a read error
// (a directory, a device gone) as a state where a buffer iterator would throw.
bool readWholeFile(const fs::path& file, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::array<char, 16384> chunk{};
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + in.gcount());
  }
  return !in.bad();
}

std::string upperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

}  // namespace

std::string_view resultText(StartResult result) {
  switch (result) {
    case StartResult::ready:
      return "ready";
    case StartResult::noDatabase:
      return "a voice directory, the unit index or the unit data is missing";
    case StartResult::noRules:
      return "the letter-to-sound rules or the word exceptions cannot be loaded";
  }
  return "unknown start result";
}

DataLocations DataLocations::standard() {
  const fs::path data = paths::dataDirectory();
  return {paths::oralisIni(), data / "letras", data / "difones"};
}

int compareUnitNames(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::vector<UnitRecord> parseIndex(std::span<const std::uint8_t> bytes) {
  std::vector<UnitRecord> records;
  records.reserve(bytes.size() / kIndexRecordSize);
  for (std::size_t at = 0; at + kIndexRecordSize <= bytes.size(); at += kIndexRecordSize) {
    const std::span<const std::uint8_t> r = bytes.subspan(at, kIndexRecordSize);
    UnitRecord rec;
    const std::size_t len = r[0];
    rec.usable = len <= kMaxUnitName;
    rec.name.assign(reinterpret_cast<const char*>(r.data() + 1), std::min(len, kMaxUnitName));
    rec.length = riff::le16(r, 9);
    rec.offset = static_cast<std::int32_t>(riff::le32(r, 11));
    records.push_back(std::move(rec));
  }
  return records;
}

DiphoneDatabase::DiphoneDatabase(LetterRules& rules, DataLocations locations)
    : rules_(rules), locations_(std::move(locations)) {}

DiphoneDatabase::~DiphoneDatabase() = default;

void DiphoneDatabase::setBaseName(std::string_view name) {
  settings_.baseName = std::string(name.substr(0, kMaxUnitName));
}

void DiphoneDatabase::setSynthesisCuts(int cutLength, int keepLength, int wordPause) {
  settings_.cutLength = cutLength;
  settings_.keepLength = keepLength;
  settings_.wordPause = wordPause;
}

StartResult DiphoneDatabase::diphoneStart() {
  diphoneStop();
  lettersDir_ =
      configuredDirectory(locations_.configFile, "dirLetras", locations_.defaultLettersDir);
  if (!isDirectory(lettersDir_)) return StartResult::noDatabase;
  diphoneDir_ =
      configuredDirectory(locations_.configFile, "DIRDIFONES", locations_.defaultDiphoneDir);
  if (!isDirectory(diphoneDir_)) return StartResult::noDatabase;

  std::vector<std::uint8_t> bytes;
  if (!readWholeFile(paths::findNoCase(diphoneDir_, settings_.baseName + ".IND"), bytes)) {
    return StartResult::noDatabase;
  }

  const fs::path dataPath = paths::findNoCase(diphoneDir_, settings_.baseName + ".DIF");
  std::error_code ec;
  // A directory opens as a stream on this system and fails only on the
  // first read; only a plain file can hold units.
  if (!fs::is_regular_file(dataPath, ec)) return StartResult::noDatabase;
  const std::uintmax_t dataSize = fs::file_size(dataPath, ec);
  data_.open(dataPath, std::ios::binary);
  if (ec || !data_) {
    data_ = std::ifstream();
    return StartResult::noDatabase;
  }
  index_ = parseIndex(bytes);
  dataSize_ = dataSize;

  if (!rules_.loadLetterRules(paths::findNoCase(diphoneDir_, "regras.rgr")) ||
      !rules_.loadWordExceptions(paths::findNoCase(diphoneDir_, "portug.exc"))) {
    // What was opened stays until diphoneStop, as the caller stops next.
    return StartResult::noRules;
  }
  buffer_.assign(kSoundBufferSize, 0);
  ready_ = true;
  return StartResult::ready;
}

void DiphoneDatabase::diphoneStop() {
  ready_ = false;
  buffer_ = {};
  rules_.freeLetterRules();
  data_ = std::ifstream();
  dataSize_ = 0;
  index_ = {};
}

const UnitRecord* DiphoneDatabase::findUnit(std::string_view name) const {
  const UnitRecord* found = lookUp(name);
  if (observer_) observer_(name, found != nullptr);
  return found;
}

const UnitRecord* DiphoneDatabase::lookUp(std::string_view name) const {
  if (name.size() > kMaxUnitName) return nullptr;
  const std::string key = upperAscii(name);
  // Binary search over the records as they lie in the file.
  std::size_t lo = 0;
  std::size_t hi = index_.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    const int c = compareUnitNames(index_[mid].name, key);
    if (c == 0) {
      const UnitRecord& r = index_[mid];
      if (!r.usable || r.offset < 0 ||
          static_cast<std::uint64_t>(r.offset) + r.length > dataSize_) {
        return nullptr;
      }
      return &r;
    }
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return nullptr;
}

bool DiphoneDatabase::readUnit(const UnitRecord& record, std::size_t count,
                               std::vector<std::uint8_t>& out) {
  out.resize(count);
  if (count == 0) return true;
  data_.clear();
  data_.seekg(record.offset);
  data_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
  return data_.gcount() == static_cast<std::streamsize>(count);
}

}  // namespace lamina::diphone

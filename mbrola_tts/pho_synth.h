#pragma once
// Our own synthesizer of MBROLA input lines: pitch-synchronous overlap-add
// over the diphones of a PhoVoice. Samples are produced as the lines
// arrive (a phoneme is rendered once the next one and the pitch beyond it
// are known), so a text of any length needs only a few phonemes of memory
// besides the samples not yet read.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mbrola_tts/mbrola_backend.h"
#include "mbrola_tts/pho_voice.h"

namespace lamina::mbrola_tts {

// Where the voice built with the program lies: mbrola/br4/br4.dip in the
// data directory.
std::filesystem::path defaultMbrolaVoice();

// One input line, read.
struct PhoLine {
  enum class Kind { phoneme, comment, blank, flush, bad };
  Kind kind = Kind::blank;
  std::string name;
  double durationMs = 0;
  std::vector<std::pair<double, double>> targets;  // (per cent, Hz), in order
  int clamped = 0;                                 // values brought into range or dropped
};

// Limits of an input line; values beyond them are brought into range.
inline constexpr double kMaxPhonemeMs = 10000;
inline constexpr double kMinPitchHz = 50;
inline constexpr double kMaxPitchHz = 500;
inline constexpr std::size_t kMaxTargetsPerLine = 32;

// "name duration [position pitch]..." with blanks or tabs between fields;
// ";" opens a comment, "#" asks for a flush. A line whose name is not a
// phoneme name, whose duration is missing, negative or not a number, or
// whose pairs hold something that is no number is bad. Positions are
// clamped to 0..100 and pitches to kMinPitchHz..kMaxPitchHz; a pitch of 0
// or less, and an odd last number, are dropped.
PhoLine parsePhoLine(std::string_view line);

struct PhoSynthStats {
  int phonemes = 0;          // phoneme lines rendered
  int missingDiphones = 0;   // diphones said as silence
  int unknownPhonemes = 0;   // names the voice lacks, said as silence
  int badLines = 0;          // lines refused
  int clampedValues = 0;     // values brought into range or dropped
  std::int64_t samples = 0;  // samples produced since init
};

// lastError() codes.
enum PhoSynthError : int {
  kPhoNoError = 0,
  kPhoNoVoice = 1,         // write before a successful init
  kPhoBadLine = 2,         // a line refused
  kPhoUnknownPhoneme = 3,  // a phoneme the voice does not know
};

class PhoSynth final : public MbrolaBackend {
 public:
  // A path that is a folder holds its voice as <folder name>.dip; a bare
  // name that exists nowhere ("br4") names a voice in the data directory.
  int init(std::string_view databasePath) override;
  void setNoError(int flag) override { noError_ = flag != 0; }
  void reset() override;
  int write(std::string_view line) override;
  int lastError() override { return error_; }
  void flush() override;
  int read(std::span<std::int16_t> samples) override;
  void close() override;

  // A voice handed over directly (tests, the benchmark).
  void useVoice(PhoVoice voice);
  const PhoVoice& voice() const { return voice_; }
  const PhoSynthStats& stats() const { return stats_; }
  // Samples produced and not yet read.
  std::size_t pending() const { return ready_.size() - readPos_; }

 private:
  struct Phoneme {
    std::string name;
    std::int64_t start = 0;  // in samples since init
    std::int64_t end = 0;
  };
  struct PitchPoint {
    double time;  // in samples since init
    double hz;
  };

  void clearText();
  void render(bool final);
  void renderPhoneme(const Phoneme& p, const std::string& next, bool lastOfText);
  void renderHalf(const VoiceDiphone* d, std::size_t from, std::size_t to, std::int64_t t0,
                  std::int64_t t1, float gain0, float gain1, std::int64_t shift);
  double pitchAt(double t) const;
  bool pitchKnownUntil(std::int64_t t) const;
  void release(std::int64_t upTo);

  PhoVoice voice_;
  bool loaded_ = false;
  bool noError_ = false;
  int error_ = kPhoNoError;
  PhoSynthStats stats_;

  double clockMs_ = 0;  // where the next phoneme starts
  std::deque<Phoneme> pending_;
  std::string previous_ = "_";
  std::deque<PitchPoint> points_;
  std::int64_t rendered_ = 0;  // the end of the last rendered phoneme
  double nextMark_ = 0;        // where the next output pitch mark falls
  // How far the grains of the last right-hand diphone are taken from its
  // marks, so that its periods line up with those before it; the next
  // phoneme's left half is the same diphone and keeps the shift.
  std::int64_t shift_ = 0;

  // Overlap-add sums from accBase_ on; samples before released_ are final.
  std::vector<float> acc_;
  std::int64_t accBase_ = 0;
  std::vector<std::int16_t> ready_;
  std::size_t readPos_ = 0;
};

}  // namespace lamina::mbrola_tts

#include "mbrola_tts/pho_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <system_error>

#include "platform/paths.h"

namespace lamina::mbrola_tts {

namespace {

constexpr double kSamplesPerMs = kMbrolaSampleRate / 1000.0;
// Unvoiced stretches are overlap-added in 5 ms steps straight from where
// the time mapping points, without pitch marks.
constexpr int kUnvoicedStep = 80;
// Half a voiced grain: one period of the voice, between 500 Hz and 50 Hz.
constexpr int kMinHalf = 32;
constexpr int kMaxHalf = 320;
// Phonemes held back while the next pitch target is unknown; past this the
// last known pitch is held so that memory stays bounded.
constexpr std::size_t kMaxPending = 64;
// Below this level a cut point counts as silence and is not evened out.
constexpr float kQuiet = 200;
constexpr float kMaxJoinGain = 4;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool toNumber(std::string_view token, double& out) {
  if (token.empty() || token.size() > 40) return false;
  const std::string text(token);
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(out);
}

double clampCounted(double v, double low, double high, int& clamped) {
  if (v < low || v > high) {
    ++clamped;
    return std::clamp(v, low, high);
  }
  return v;
}

// The shift, within half a period, that best lines up the period of `b`
// around `bCentre` with the one of `a` around `aCentre`: two recordings put
// their marks at different points of the period, and a join between them
// would otherwise shorten or stretch one period. None when nothing is alike.
std::int64_t alignPeriods(const std::vector<std::int16_t>& a, std::int64_t aCentre,
                          const std::vector<std::int16_t>& b, std::int64_t bCentre, int period) {
  const auto length = static_cast<std::size_t>(period / 2 * 2 + 1);
  const std::int64_t aFrom = aCentre - period / 2;
  std::int64_t best = 0;
  double bestScore = similarity(a, aFrom, b, bCentre - period / 2, length);
  for (int shift = -period / 2; shift <= period / 2; ++shift) {
    if (shift == 0) continue;
    const double score = similarity(a, aFrom, b, bCentre + shift - period / 2, length);
    if (score > bestScore) {
      bestScore = score;
      best = shift;
    }
  }
  return best;
}

}  // namespace

std::filesystem::path defaultMbrolaVoice() {
  return paths::dataDirectory() / "mbrola" / "br4" / "br4.dip";
}

PhoLine parsePhoLine(std::string_view line) {
  PhoLine out;
  while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
  if (line.empty()) return out;
  if (line.front() == ';') {
    out.kind = PhoLine::Kind::comment;
    return out;
  }
  if (line.front() == '#') {
    out.kind = PhoLine::Kind::flush;
    return out;
  }
  std::vector<std::string_view> tokens;
  while (!line.empty()) {
    std::size_t n = 0;
    while (n < line.size() && !isBlank(line[n])) ++n;
    tokens.push_back(line.substr(0, n));
    line.remove_prefix(n);
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  }
  out.kind = PhoLine::Kind::bad;
  double duration = 0;
  if (tokens.size() < 2 || !isPhonemeName(tokens[0]) || !toNumber(tokens[1], duration) ||
      duration < 0) {
    return out;
  }
  out.name = std::string(tokens[0]);
  out.durationMs = clampCounted(duration, 0, kMaxPhonemeMs, out.clamped);
  std::size_t i = 2;
  for (; i + 1 < tokens.size(); i += 2) {
    double position = 0, hz = 0;
    if (!toNumber(tokens[i], position) || !toNumber(tokens[i + 1], hz)) return out;
    if (hz <= 0 || out.targets.size() >= kMaxTargetsPerLine) {
      ++out.clamped;
      continue;
    }
    position = clampCounted(position, 0, 100, out.clamped);
    hz = clampCounted(hz, kMinPitchHz, kMaxPitchHz, out.clamped);
    out.targets.emplace_back(position, hz);
  }
  if (i < tokens.size()) {
    double unused = 0;
    if (!toNumber(tokens[i], unused)) return out;
    ++out.clamped;
  }
  std::stable_sort(out.targets.begin(), out.targets.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  out.kind = PhoLine::Kind::phoneme;
  return out;
}

int PhoSynth::init(std::string_view databasePath) {
  close();
  namespace fs = std::filesystem;
  fs::path path = databasePath.empty() ? defaultMbrolaVoice() : fs::path(std::string(databasePath));
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    const fs::path folder = path.has_filename() ? path : path.parent_path();
    path = folder / (folder.filename().string() + ".dip");
  } else if (!fs::exists(path, ec) && !path.has_parent_path()) {
    const std::string name = path.string();
    path = paths::dataDirectory() / "mbrola" / name / (name + ".dip");
  }
  PhoVoice voice;
  const VoiceLoadResult result = voice.load(path);
  if (result != VoiceLoadResult::ok) return static_cast<int>(result);
  if (!voice.hasPhoneme("_")) return static_cast<int>(VoiceLoadResult::damaged);
  useVoice(std::move(voice));
  return 0;
}

void PhoSynth::useVoice(PhoVoice voice) {
  voice_ = std::move(voice);
  loaded_ = !voice_.empty();
  stats_ = {};
  reset();
}

void PhoSynth::close() {
  voice_.clear();
  loaded_ = false;
  reset();
}

void PhoSynth::clearText() {
  pending_.clear();
  points_.clear();
  acc_.clear();
  previous_ = "_";
  clockMs_ = 0;
  rendered_ = 0;
  accBase_ = 0;
  nextMark_ = 0;
  shift_ = 0;
}

void PhoSynth::reset() {
  clearText();
  ready_.clear();
  readPos_ = 0;
  error_ = kPhoNoError;
}

int PhoSynth::write(std::string_view text) {
  if (!loaded_) {
    error_ = kPhoNoVoice;
    return -1;
  }
  // Without the no-error mode an error stops synthesis until reset().
  if (!noError_ && error_ != kPhoNoError) return -1;
  PhoLine line = parsePhoLine(text);
  stats_.clampedValues += line.clamped;
  switch (line.kind) {
    case PhoLine::Kind::blank:
    case PhoLine::Kind::comment:
      return 0;
    case PhoLine::Kind::flush:
      flush();
      return 0;
    case PhoLine::Kind::bad:
      ++stats_.badLines;
      error_ = kPhoBadLine;
      return -1;
    case PhoLine::Kind::phoneme:
      break;
  }
  // "y", the glide of the bridge lines, is our "j".
  if (line.name == "y") line.name = "j";
  int result = 0;
  if (!voice_.hasPhoneme(line.name)) {
    // Said as a pause of its duration, so that the timing still holds.
    ++stats_.unknownPhonemes;
    error_ = kPhoUnknownPhoneme;
    line.name = "_";
    result = -1;
  }
  Phoneme p;
  p.name = std::move(line.name);
  p.start = std::llround(clockMs_ * kSamplesPerMs);
  clockMs_ += line.durationMs;
  p.end = std::llround(clockMs_ * kSamplesPerMs);
  for (const auto& [position, hz] : line.targets) {
    double t = static_cast<double>(p.start) + position / 100 * static_cast<double>(p.end - p.start);
    if (!points_.empty()) t = std::max(t, points_.back().time);
    points_.push_back({t, hz});
  }
  pending_.push_back(std::move(p));
  render(false);
  return result;
}

void PhoSynth::flush() {
  if (!loaded_) return;
  render(true);
  clearText();
}

int PhoSynth::read(std::span<std::int16_t> samples) {
  const std::size_t n = std::min(samples.size(), ready_.size() - readPos_);
  std::copy_n(ready_.begin() + static_cast<std::ptrdiff_t>(readPos_), n, samples.begin());
  readPos_ += n;
  if (readPos_ == ready_.size()) {
    ready_.clear();
    readPos_ = 0;
  } else if (readPos_ >= 1u << 16) {
    ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(readPos_));
    readPos_ = 0;
  }
  return static_cast<int>(n);
}

bool PhoSynth::pitchKnownUntil(std::int64_t t) const {
  return !points_.empty() && points_.back().time >= static_cast<double>(t);
}

double PhoSynth::pitchAt(double t) const {
  if (points_.empty()) return voice_.pitch;
  // Before the first target its pitch holds, after the last one the last.
  const auto upper =
      std::find_if(points_.begin(), points_.end(), [t](const PitchPoint& p) { return p.time > t; });
  if (upper == points_.begin()) return upper->hz;
  if (upper == points_.end()) return points_.back().hz;
  const PitchPoint& a = *(upper - 1);
  const PitchPoint& b = *upper;
  if (b.time <= a.time) return b.hz;
  return a.hz + (b.hz - a.hz) * (t - a.time) / (b.time - a.time);
}

void PhoSynth::render(bool final) {
  while (!pending_.empty()) {
    const bool lastOfText = final && pending_.size() == 1;
    if (!lastOfText && pending_.size() < 2) break;
    const Phoneme& p = pending_.front();
    if (!final && !pitchKnownUntil(p.end) && pending_.size() < kMaxPending) break;
    renderPhoneme(p, lastOfText ? std::string("_") : pending_[1].name, lastOfText);
    previous_ = p.name;
    rendered_ = p.end;
    pending_.pop_front();
  }
  // Only the last target before the rendered end is still needed.
  while (points_.size() >= 2 && points_[1].time <= static_cast<double>(rendered_))
    points_.pop_front();
  release(final ? rendered_ : rendered_ - kMaxHalf);
}

void PhoSynth::renderPhoneme(const Phoneme& p, const std::string& next, bool lastOfText) {
  ++stats_.phonemes;
  const VoiceDiphone* left = voice_.find(previous_, p.name);
  const VoiceDiphone* right = voice_.find(p.name, next);
  if (left == nullptr) ++stats_.missingDiphones;
  // The right diphone is the next phoneme's left one, counted there.
  if (right == nullptr && lastOfText) ++stats_.missingDiphones;
  const std::int64_t duration = p.end - p.start;
  std::int64_t middle = p.start + duration / 2;
  float leftGain = 1, rightGain = 1;
  if (left != nullptr && right != nullptr) {
    const double a = static_cast<double>(left->samples.size() - left->boundary);
    const double b = right->boundary;
    if (a + b > 0) middle = p.start + std::llround(static_cast<double>(duration) * a / (a + b));
    // The two halves of a phoneme come from different recordings: meet at
    // the loudness between theirs.
    if (left->endLevel > kQuiet && right->startLevel > kQuiet) {
      const float mean = std::sqrt(left->endLevel * right->startLevel);
      leftGain = std::clamp(mean / left->endLevel, 1 / kMaxJoinGain, kMaxJoinGain);
      rightGain = std::clamp(mean / right->startLevel, 1 / kMaxJoinGain, kMaxJoinGain);
    }
  }
  // The right recording's grains are shifted so that its first voiced
  // period lines up with the left one's last; the shift stays with the
  // diphone as the next phoneme's left half.
  const std::int64_t leftShift = left != nullptr ? shift_ : 0;
  std::int64_t rightShift = 0;
  if (left != nullptr && right != nullptr) {
    // The left recording's last voiced mark in the phoneme, the right one's
    // first.
    const auto leftEnd = std::find_if(left->marks.rbegin(), left->marks.rend(),
                                      [](const PitchMark& m) { return m.voiced; });
    const auto rightStart = std::find_if(right->marks.begin(), right->marks.end(),
                                         [](const PitchMark& m) { return m.voiced; });
    if (leftEnd != left->marks.rend() && leftEnd->position >= left->boundary &&
        rightStart != right->marks.end() && rightStart->position < right->boundary) {
      const int period =
          std::clamp(static_cast<int>(kMbrolaSampleRate / voice_.pitch), kMinHalf, kMaxHalf);
      rightShift = alignPeriods(left->samples, leftEnd->position + leftShift, right->samples,
                                rightStart->position, period);
    }
  }
  if (left != nullptr)
    renderHalf(left, left->boundary, left->samples.size(), p.start, middle, 1, leftGain, leftShift);
  else
    renderHalf(nullptr, 0, 0, p.start, middle, 1, 1, 0);
  if (right != nullptr)
    renderHalf(right, 0, right->boundary, middle, p.end, rightGain, 1, rightShift);
  else
    renderHalf(nullptr, 0, 0, middle, p.end, 1, 1, 0);
  shift_ = rightShift;
}

void PhoSynth::renderHalf(const VoiceDiphone* d, std::size_t from, std::size_t to, std::int64_t t0,
                          std::int64_t t1, float gain0, float gain1, std::int64_t shift) {
  if (t1 <= t0) return;
  if (d == nullptr || to <= from) {
    nextMark_ = std::max(nextMark_, static_cast<double>(t1));
    return;
  }
  const double span = static_cast<double>(t1 - t0);
  const double scale = static_cast<double>(to - from) / span;
  const auto& marks = d->marks;
  const auto& x = d->samples;
  while (nextMark_ < static_cast<double>(t1)) {
    const double t = std::max(nextMark_, static_cast<double>(t0));
    const double s = static_cast<double>(from) + (t - static_cast<double>(t0)) * scale;
    // The nearest analysis mark.
    std::size_t k = static_cast<std::size_t>(
        std::lower_bound(marks.begin(), marks.end(), s,
                         [](const PitchMark& m, double v) { return m.position < v; }) -
        marks.begin());
    if (k == marks.size() ||
        (k > 0 && s - marks[k - 1].position < static_cast<double>(marks[k].position) - s))
      k = k > 0 ? k - 1 : k;
    const bool voiced = k < marks.size() && marks[k].voiced;
    std::int64_t centre = std::llround(s);
    int half = kUnvoicedStep;
    double step = kUnvoicedStep;
    if (voiced) {
      centre = marks[k].position;
      double gaps = 0;
      int count = 0;
      if (k > 0 && marks[k - 1].voiced) {
        gaps += marks[k].position - marks[k - 1].position;
        ++count;
      }
      if (k + 1 < marks.size() && marks[k + 1].voiced) {
        gaps += marks[k + 1].position - marks[k].position;
        ++count;
      }
      const double period = count > 0 ? gaps / count : kMbrolaSampleRate / double(voice_.pitch);
      half = std::clamp(static_cast<int>(std::lround(period)), kMinHalf, kMaxHalf);
      // The period that starts here is set by the pitch at its middle.
      step = kMbrolaSampleRate / pitchAt(t + 0.5 * kMbrolaSampleRate / pitchAt(t));
    }
    const float gain =
        gain0 + (gain1 - gain0) * static_cast<float>((t - static_cast<double>(t0)) / span);
    // Between two voiced marks the grain is a blend of both periods: taking
    // the nearest alone skips and repeats periods in a pattern that is heard
    // as a rough, lower voice when the time scale is near one and a half.
    std::int64_t other = centre;
    float blend = 0;
    if (voiced) {
      const bool after = marks[k].position <= s;
      const std::size_t lo = after ? k : k - 1;
      if ((after || k > 0) && lo + 1 < marks.size() && marks[lo].voiced && marks[lo + 1].voiced) {
        const double a = marks[lo].position, b = marks[lo + 1].position;
        centre = marks[lo].position;
        other = marks[lo + 1].position;
        blend = static_cast<float>((s - a) / (b - a));
      }
    }
    if (voiced) {
      centre += shift;
      other += shift;
    }
    // Overlap-add one Hann-windowed grain centred on the output mark.
    const std::int64_t at = std::llround(t);
    const std::int64_t need = at + half + 1 - accBase_;
    if (need > static_cast<std::int64_t>(acc_.size())) acc_.resize(static_cast<std::size_t>(need));
    // A grain that reaches past the end of its diphone takes the period next
    // to it instead, so that it keeps its full weight.
    const auto size = static_cast<std::int64_t>(x.size());
    auto sample = [&](std::int64_t src) {
      if (src < 0 && src + half < size) src += half;
      if (src >= size && src - half >= 0) src -= half;
      return src < 0 || src >= size ? 0.0f : static_cast<float>(x[static_cast<std::size_t>(src)]);
    };
    for (int j = -half; j <= half; ++j) {
      const std::int64_t out = at + j - accBase_;
      if (out < 0) continue;
      const float w = 0.5f + 0.5f * static_cast<float>(std::cos(std::numbers::pi * j / half));
      float v = sample(centre + j);
      if (blend > 0) v += blend * (sample(other + j) - v);
      acc_[static_cast<std::size_t>(out)] += gain * w * v;
    }
    nextMark_ = t + step;
  }
}

void PhoSynth::release(std::int64_t upTo) {
  const std::int64_t n = upTo - accBase_;
  if (n <= 0) return;
  if (static_cast<std::int64_t>(acc_.size()) < n) acc_.resize(static_cast<std::size_t>(n));
  const auto count = static_cast<std::size_t>(n);
  ready_.reserve(ready_.size() + count);
  for (std::size_t i = 0; i < count; ++i) {
    const float v = std::clamp(std::round(acc_[i]), -32768.0f, 32767.0f);
    ready_.push_back(static_cast<std::int16_t>(v));
  }
  acc_.erase(acc_.begin(), acc_.begin() + n);
  accBase_ = upTo;
  stats_.samples += n;
}

}  // namespace lamina::mbrola_tts

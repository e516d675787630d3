#include "mbrola_tts/pho_voice.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "platform/riff.h"

namespace lamina::mbrola_tts {

namespace {

constexpr std::string_view kMagic = "LAMNVOZ1";
constexpr std::uint32_t kVoicedBit = 0x80000000u;
// Loudness is measured over 15 ms at each cut point.
constexpr std::size_t kLevelSpan = 240;

bool nameLess(const VoiceDiphone& a, const VoiceDiphone& b) {
  return a.first != b.first ? a.first < b.first : a.second < b.second;
}

float level(std::span<const std::int16_t> s) {
  if (s.empty()) return 0;
  double sum = 0;
  for (std::int16_t v : s) sum += static_cast<double>(v) * v;
  return static_cast<float>(std::sqrt(sum / static_cast<double>(s.size())));
}

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> b) : b_(b) {}
  bool u8(std::uint8_t& v) {
    if (b_.size() - pos_ < 1) return false;
    v = b_[pos_++];
    return true;
  }
  bool u32(std::uint32_t& v) {
    if (b_.size() - pos_ < 4) return false;
    v = riff::le32(b_, pos_);
    pos_ += 4;
    return true;
  }
  bool name(std::string& out) {
    std::uint8_t n = 0;
    if (!u8(n) || n == 0 || n > PhoVoice::kMaxNameLength || b_.size() - pos_ < n) return false;
    out.assign(reinterpret_cast<const char*>(b_.data() + pos_), n);
    pos_ += n;
    return isPhonemeName(out);
  }
  bool bytes(std::string_view expected) {
    if (b_.size() - pos_ < expected.size()) return false;
    for (char c : expected) {
      if (b_[pos_++] != static_cast<std::uint8_t>(c)) return false;
    }
    return true;
  }
  std::size_t left() const { return b_.size() - pos_; }
  bool samples(std::vector<std::int16_t>& out, std::uint32_t n) {
    if (left() / 2 < n) return false;
    out.resize(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      out[i] = static_cast<std::int16_t>(riff::le16(b_, pos_));
      pos_ += 2;
    }
    return true;
  }

 private:
  std::span<const std::uint8_t> b_;
  std::size_t pos_ = 0;
};

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putName(std::vector<std::uint8_t>& out, const std::string& name) {
  out.push_back(static_cast<std::uint8_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
}

}  // namespace

bool isPhonemeName(std::string_view name) {
  if (name.empty() || name.size() > PhoVoice::kMaxNameLength) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

VoiceLoadResult PhoVoice::load(const std::filesystem::path& file) {
  clear();
  std::ifstream in(file, std::ios::binary);
  if (!in) return VoiceLoadResult::unreadable;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  // A voice of the largest allowed size is far below this; a bigger file
  // is not one of ours.
  if (size < 0 || size > (std::streamoff{1} << 30)) return VoiceLoadResult::damaged;
  in.seekg(0);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  if (!in) return VoiceLoadResult::unreadable;
  return parse(bytes);
}

VoiceLoadResult PhoVoice::parse(std::span<const std::uint8_t> bytes) {
  clear();
  Reader r(bytes);
  std::uint32_t rate = 0, ownPitch = 0, count = 0;
  if (!r.bytes(kMagic) || !r.u32(rate) || !r.u32(ownPitch) || !r.u32(count) ||
      rate != kSampleRate || ownPitch < kMinPitch || ownPitch > kMaxPitch || count > kMaxDiphones) {
    return VoiceLoadResult::damaged;
  }
  std::vector<VoiceDiphone> list;
  for (std::uint32_t i = 0; i < count; ++i) {
    VoiceDiphone d;
    std::uint32_t n = 0, markCount = 0;
    if (!r.name(d.first) || !r.name(d.second) || !r.u32(n) || !r.u32(d.boundary) ||
        !r.u32(markCount) || n > kMaxDiphoneSamples || d.boundary > n || markCount > n ||
        r.left() / 4 < markCount) {
      clear();
      return VoiceLoadResult::damaged;
    }
    d.marks.reserve(markCount);
    for (std::uint32_t m = 0; m < markCount; ++m) {
      std::uint32_t v = 0;
      r.u32(v);
      const std::uint32_t pos = v & ~kVoicedBit;
      if (pos >= n || (!d.marks.empty() && pos <= d.marks.back().position)) {
        clear();
        return VoiceLoadResult::damaged;
      }
      d.marks.push_back({pos, (v & kVoicedBit) != 0});
    }
    if (!r.samples(d.samples, n)) {
      clear();
      return VoiceLoadResult::damaged;
    }
    if (!list.empty() && !nameLess(list.back(), d)) {  // unsorted or twice
      clear();
      return VoiceLoadResult::damaged;
    }
    list.push_back(std::move(d));
  }
  if (r.left() != 0) return VoiceLoadResult::damaged;
  diphones_ = std::move(list);
  pitch = static_cast<int>(ownPitch);
  index();
  return VoiceLoadResult::ok;
}

std::vector<std::uint8_t> PhoVoice::serialize() const {
  std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
  put32(out, kSampleRate);
  put32(out, static_cast<std::uint32_t>(pitch));
  put32(out, static_cast<std::uint32_t>(diphones_.size()));
  for (const VoiceDiphone& d : diphones_) {
    putName(out, d.first);
    putName(out, d.second);
    put32(out, static_cast<std::uint32_t>(d.samples.size()));
    put32(out, d.boundary);
    put32(out, static_cast<std::uint32_t>(d.marks.size()));
    for (const PitchMark& m : d.marks) put32(out, m.position | (m.voiced ? kVoicedBit : 0));
    for (std::int16_t s : d.samples) {
      const auto u = static_cast<std::uint16_t>(s);
      out.push_back(static_cast<std::uint8_t>(u));
      out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  return out;
}

bool PhoVoice::setDiphones(std::vector<VoiceDiphone> list) {
  std::sort(list.begin(), list.end(), nameLess);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const VoiceDiphone& d = list[i];
    if (!isPhonemeName(d.first) || !isPhonemeName(d.second) || d.boundary > d.samples.size() ||
        d.samples.size() > kMaxDiphoneSamples || (i > 0 && !nameLess(list[i - 1], d)))
      return false;
    for (std::size_t m = 0; m < d.marks.size(); ++m) {
      if (d.marks[m].position >= d.samples.size() ||
          (m > 0 && d.marks[m].position <= d.marks[m - 1].position))
        return false;
    }
  }
  diphones_ = std::move(list);
  index();
  return true;
}

const VoiceDiphone* PhoVoice::find(std::string_view first, std::string_view second) const {
  const auto at = std::lower_bound(
      diphones_.begin(), diphones_.end(), std::pair{first, second},
      [](const VoiceDiphone& d, const std::pair<std::string_view, std::string_view>& key) {
        return d.first != key.first ? d.first < key.first : d.second < key.second;
      });
  if (at == diphones_.end() || at->first != first || at->second != second) return nullptr;
  return &*at;
}

bool PhoVoice::hasPhoneme(std::string_view name) const {
  return std::binary_search(phonemes_.begin(), phonemes_.end(), name, std::less<>{});
}

void PhoVoice::clear() {
  diphones_.clear();
  phonemes_.clear();
  pitch = 200;
}

void PhoVoice::index() {
  phonemes_.clear();
  for (VoiceDiphone& d : diphones_) {
    phonemes_.push_back(d.first);
    phonemes_.push_back(d.second);
    const std::span<const std::int16_t> s(d.samples);
    const std::size_t n = std::min(kLevelSpan, s.size());
    d.startLevel = level(s.first(n));
    d.endLevel = level(s.last(n));
  }
  std::sort(phonemes_.begin(), phonemes_.end());
  phonemes_.erase(std::unique(phonemes_.begin(), phonemes_.end()), phonemes_.end());
}

double similarity(std::span<const std::int16_t> a, std::int64_t aFrom,
                  std::span<const std::int16_t> b, std::int64_t bFrom, std::size_t length) {
  const auto at = [](std::span<const std::int16_t> x, std::int64_t i) {
    return i < 0 || i >= static_cast<std::int64_t>(x.size())
               ? 0.0
               : double(x[static_cast<std::size_t>(i)]);
  };
  double xy = 0, xx = 0, yy = 0;
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(length); ++i) {
    const double u = at(a, aFrom + i), v = at(b, bFrom + i);
    xy += u * v;
    xx += u * u;
    yy += v * v;
  }
  return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

}  // namespace lamina::mbrola_tts

#include "tools/voicedata/sound_edit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "platform/riff.h"

namespace lamina::voicedata {
namespace {

constexpr int kTaps = 31;

// Windowed-sinc low-pass at 5 kHz for 22050 Hz input: keeps speech below the
// new Nyquist frequency and removes what would fold back.
std::array<double, kTaps> lowPass() {
  std::array<double, kTaps> h{};
  constexpr double fc = 5000.0 / 22050.0;
  constexpr int mid = kTaps / 2;
  double sum = 0;
  for (int n = 0; n < kTaps; ++n) {
    const double x = n - mid;
    const double sinc =
        x == 0 ? 2 * fc : std::sin(2 * std::numbers::pi * fc * x) / (std::numbers::pi * x);
    const double window = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * n / (kTaps - 1));
    h[static_cast<std::size_t>(n)] = sinc * window;
    sum += sinc * window;
  }
  for (double& v : h) v /= sum;
  return h;
}

std::uint8_t toUnsigned8(double v) {
  const double s = std::clamp(std::round(v) + 128.0, 0.0, 255.0);
  return static_cast<std::uint8_t>(s);
}

}  // namespace

std::vector<std::uint8_t> downsampleTo8Bit(std::span<const std::int16_t> in, double gain) {
  static const std::array<double, kTaps> h = lowPass();
  std::vector<std::uint8_t> out;
  out.reserve(in.size() / 2 + 1);
  const auto count = static_cast<std::ptrdiff_t>(in.size());
  for (std::ptrdiff_t i = 0; i < count; i += 2) {
    double acc = 0;
    for (int k = 0; k < kTaps; ++k) {
      const std::ptrdiff_t j = i + k - kTaps / 2;
      if (j >= 0 && j < count)
        acc += h[static_cast<std::size_t>(k)] * in[static_cast<std::size_t>(j)];
    }
    out.push_back(toUnsigned8(acc * gain / 256.0));
  }
  return out;
}

std::vector<std::uint8_t> trimAndFade(std::span<const std::uint8_t> sound, int threshold,
                                      std::size_t keep, std::size_t fade) {
  auto loud = [threshold](std::uint8_t s) { return std::abs(int{s} - 128) > threshold; };
  const auto first = std::find_if(sound.begin(), sound.end(), loud);
  if (first == sound.end()) return {};
  const auto lastLoud = std::find_if(sound.rbegin(), sound.rend(), loud).base();
  const std::size_t begin =
      std::max<std::ptrdiff_t>(0, first - sound.begin() - static_cast<std::ptrdiff_t>(keep));
  const std::size_t end = std::min<std::size_t>(
      sound.size(), static_cast<std::size_t>(lastLoud - sound.begin()) + fade);
  std::vector<std::uint8_t> out(sound.begin() + static_cast<std::ptrdiff_t>(begin),
                                sound.begin() + static_cast<std::ptrdiff_t>(end));
  const std::size_t n = std::min(fade, out.size() / 2);
  for (std::size_t i = 0; i < n; ++i) {
    const double g = static_cast<double>(i) / static_cast<double>(n);
    auto scale = [g](std::uint8_t& s) { s = toUnsigned8((int{s} - 128) * g); };
    scale(out[i]);
    scale(out[out.size() - 1 - i]);
  }
  return out;
}

std::vector<std::uint8_t> fitToCut(std::span<const std::uint8_t> unit, std::size_t cut,
                                   std::size_t endFade) {
  // Pitch periods of the voice at 11025 Hz: 55 to 275 Hz.
  constexpr std::size_t kShortestPeriod = 40;
  constexpr std::size_t kLongestPeriod = 200;
  // How far before the end fade the crossing is looked for.
  constexpr std::size_t kSearch = 400;
  auto dist = [](std::uint8_t v) { return std::abs(int{v} - 128); };

  std::vector<std::uint8_t> out;
  const std::size_t n = unit.size();
  const std::size_t settled = n > endFade + 1 ? n - endFade : std::min<std::size_t>(n, 1);
  // The last kept sample k: the latest one nearest the midline whose next
  // sample rises, so that the repeated period continues the wave.
  // Without one (a unit too short to search) the unit is kept whole.
  std::size_t k = n > 0 ? n - 1 : 0;
  int best = 256;
  const std::size_t from = settled > kSearch ? settled - kSearch : 0;
  for (std::size_t i = from; i + 1 < settled; ++i) {
    if (unit[i + 1] < unit[i]) continue;
    // Later candidates win ties and near ties: they keep more of the sound.
    if (dist(unit[i]) <= best || (dist(unit[i]) <= 2 && best <= 2)) {
      best = dist(unit[i]);
      k = i;
    }
  }
  const std::size_t end = std::min(n, k + 1);
  out.assign(unit.begin(), unit.begin() + static_cast<std::ptrdiff_t>(end));

  // The period: the lag with the best match of the last stretch with the
  // one before it.
  std::size_t period = 0;
  double bestCorr = 0;
  for (std::size_t p = kShortestPeriod; p <= kLongestPeriod && 2 * p <= end; ++p) {
    const std::size_t w = std::min<std::size_t>(end - p, 2 * kLongestPeriod);
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t j = 1; j <= w; ++j) {
      const double x = int{unit[end - j]} - 128;
      const double y = int{unit[end - j - p]} - 128;
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    const double corr = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    if (corr > bestCorr) {
      bestCorr = corr;
      period = p;
    }
  }
  if (period == 0) period = std::min<std::size_t>(end, kLongestPeriod);

  // The loop runs from just after a sample s in the same phase as the last
  // kept one (rising, nearest its value, about a period back) to the end, so
  // that it follows on from the kept sound, and from itself, without a step.
  std::size_t loopStart = end - period;
  if (end >= 2 && period > 1) {
    const std::size_t slack = period / 4;
    const std::size_t lo = end - period > slack ? end - period - slack : 0;
    const std::size_t hi = std::min(end - period + slack, end - 2);
    int closest = 256;
    for (std::size_t i = lo; i <= hi; ++i) {
      if (unit[i + 1] < unit[i]) continue;
      const int d = std::abs(int{unit[i]} - int{unit[k]});
      const std::size_t off = i > end - period ? i - (end - period) : end - period - i;
      const std::size_t bestOff =
          loopStart > end - period ? loopStart - (end - period) : end - period - loopStart;
      if (d < closest || (d == closest && off < bestOff)) {
        closest = d;
        loopStart = i;
      }
    }
    if (closest < 256) ++loopStart;
  }
  const std::size_t loop = end - loopStart;

  // The held sound, fading out over its last half so the whole unit ends on
  // the midline without a step.
  const std::size_t fade = std::max<std::size_t>(1, cut / 2);
  for (std::size_t j = 0; j < cut; ++j) {
    std::uint8_t v = 128;
    if (loop > 0) v = unit[loopStart + j % loop];
    if (j + fade >= cut) {
      const double g = static_cast<double>(cut - 1 - j) / static_cast<double>(fade);
      v = toUnsigned8((int{v} - 128) * g);
    }
    out.push_back(v);
  }
  return out;
}

std::vector<std::uint8_t> dtmfTone(double lowHz, double highHz, double seconds) {
  const auto count = static_cast<std::size_t>(seconds * kOutputRate);
  std::vector<std::uint8_t> out(count);
  for (std::size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / kOutputRate;
    const double v = 50 * std::sin(2 * std::numbers::pi * lowHz * t) +
                     50 * std::sin(2 * std::numbers::pi * highHz * t);
    out[i] = toUnsigned8(v);
  }
  return trimAndFade(out, -1, 0, 55);
}

std::vector<std::uint8_t> waveFileBytes(std::span<const std::uint8_t> samples) {
  // PCM, mono, 11025 Hz, 11025 bytes per second, block align 1, 8 bits.
  std::vector<std::uint8_t> out(riff::kWaveHeaderSize + samples.size());
  riff::writeWaveHeader(out, static_cast<std::uint32_t>(samples.size()), kOutputRate, 8, 1);
  std::copy(samples.begin(), samples.end(),
            out.begin() + static_cast<std::ptrdiff_t>(riff::kWaveHeaderSize));
  return out;
}

}  // namespace lamina::voicedata

// lamina-mbrolavoice: builds the diphone voice of our synthesizer of MBROLA
// input lines with eSpeak NG's Brazilian Portuguese voice.
//
//   lamina-mbrolavoice --diphones PORTUG.DFN --out FILE [--stamp FILE] [--verbose]
//
// Every diphone of the list is spoken inside a short carrier on a level
// pitch, brought to 16000 Hz, cut from the middle of its first phoneme to
// the middle of its second, and stored with its pitch marks.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "mbrola_tts/pho_voice.h"

namespace fs = std::filesystem;
using lamina::mbrola_tts::PhoVoice;
using lamina::mbrola_tts::PitchMark;
using lamina::mbrola_tts::VoiceDiphone;

namespace {

constexpr int kRate = 16000;
constexpr int kPauseSamples = 640;  // 40 ms of the pause "_" on its side of a diphone
constexpr int kUnvoicedStep = 80;
bool verbose = false;

struct Event {
  std::string name;
  int ms;
};
struct Collector {
  std::vector<std::int16_t> samples;
  std::vector<Event> events;
};
Collector* collector = nullptr;
int espeakRate = 22050;

int synthCallback(short* wav, int count, espeak_EVENT* events) {
  if (collector == nullptr) return 0;
  if (wav != nullptr && count > 0)
    collector->samples.insert(collector->samples.end(), wav, wav + count);
  for (espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type == espeakEVENT_PHONEME) {
      char name[9] = {};
      std::memcpy(name, e->id.string, 8);
      collector->events.push_back({name, e->audio_position});
    }
  }
  return 0;
}

// Our phoneme names in eSpeak NG's Portuguese mnemonics.
const std::map<std::string, std::string> kEspeak = {
    {"a", "a"},  {"e", "e"},   {"E", "E"},   {"i", "i"},   {"o", "o"},   {"O", "O"},
    {"u", "u"},  {"an", "&~"}, {"en", "e~"}, {"in", "i~"}, {"on", "o~"}, {"un", "u~"},
    {"w", "w"},  {"j", "j"},   {"p", "p"},   {"b", "b"},   {"t", "t"},   {"d", "d"},
    {"k", "k"},  {"g", "g"},   {"f", "f"},   {"v", "v"},   {"s", "s"},   {"z", "z"},
    {"S", "S"},  {"Z", "Z"},   {"tS", "tS"}, {"dZ", "dZ"}, {"m", "m"},   {"n", "n"},
    {"J", "n^"}, {"l", "l"},   {"L", "l^"},  {"r", "*"},   {"X", "x"},   {"r2", "r"},
    {"s2", "s"}};

bool isVowel(const std::string& p) {
  static const char* const vowels[] = {"a", "e",  "E",  "i",  "o",  "O",
                                       "u", "an", "en", "in", "on", "un"};
  return std::any_of(std::begin(vowels), std::end(vowels), [&](const char* v) { return p == v; });
}

// 22050 Hz to 16000 Hz with a windowed sinc cut at 7200 Hz.
std::vector<std::int16_t> resample(const std::vector<std::int16_t>& in, int fromRate) {
  const double ratio = static_cast<double>(fromRate) / kRate;
  const double cutoff = 7200.0 / fromRate;  // cycles per input sample
  constexpr int kTaps = 24;
  const auto n = static_cast<std::size_t>(static_cast<double>(in.size()) / ratio);
  std::vector<std::int16_t> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * ratio;
    const auto centre = static_cast<long>(t);
    double sum = 0;
    for (long k = centre - kTaps + 1; k <= centre + kTaps; ++k) {
      if (k < 0 || k >= static_cast<long>(in.size())) continue;
      const double d = t - static_cast<double>(k);
      const double x = 2 * cutoff * d;
      const double sinc =
          std::abs(x) < 1e-9 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
      const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * d / kTaps);
      sum += in[static_cast<std::size_t>(k)] * 2 * cutoff * sinc * w;
    }
    out[i] = static_cast<std::int16_t>(std::clamp(std::lround(sum), -32768L, 32767L));
  }
  return out;
}

// Normalised autocorrelation of x around `at` for one lag.
double correlation(const std::vector<std::int16_t>& x, std::size_t at, std::size_t length,
                   int lag) {
  const auto from = static_cast<std::int64_t>(at);
  return lamina::mbrola_tts::similarity(x, from, x, from + lag, length);
}

// Voicing and period of every 5 ms frame; the period is searched near the
// level pitch the voice was recorded on.
struct Frame {
  bool voiced = false;
  int period = 0;
};
std::vector<Frame> analyse(const std::vector<std::int16_t>& x, int nominalPeriod) {
  constexpr std::size_t kHop = 80, kLength = 480;
  std::vector<Frame> frames(x.size() / kHop + 1);
  const int low = nominalPeriod * 3 / 4, high = nominalPeriod * 5 / 4;
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const std::size_t centre = f * kHop;
    const std::size_t at = centre > kLength / 2 ? centre - kLength / 2 : 0;
    double energy = 0;
    std::size_t count = 0;
    for (std::size_t i = at; i < std::min(x.size(), at + kLength); ++i, ++count)
      energy += static_cast<double>(x[i]) * x[i];
    if (count == 0 || std::sqrt(energy / static_cast<double>(count)) < 300) continue;
    double best = 0;
    int bestLag = 0;
    for (int lag = low; lag <= high; ++lag) {
      const double r = correlation(x, at, kLength - static_cast<std::size_t>(high), lag);
      if (r > best) {
        best = r;
        bestLag = lag;
      }
    }
    if (best > 0.6) frames[f] = {true, bestLag};
  }
  return frames;
}

// Marks on the largest peak of every period in voiced stretches, every
// 5 ms elsewhere.
std::vector<PitchMark> pitchMarks(const std::vector<std::int16_t>& x, int nominalPeriod) {
  const std::vector<Frame> frames = analyse(x, nominalPeriod);
  auto frameAt = [&](std::size_t i) { return frames[std::min(frames.size() - 1, (i + 40) / 80)]; };
  std::vector<PitchMark> marks;
  std::size_t i = 0;
  while (i < x.size()) {
    const Frame f = frameAt(i);
    if (!f.voiced) {
      marks.push_back({static_cast<std::uint32_t>(i), false});
      i += kUnvoicedStep;
      continue;
    }
    // The peak of the first period of a voiced stretch; after it, the place
    // within an eighth of a period of where the next one is due whose period
    // looks most like the one before. Taking the largest peak there instead
    // jumps between two peaks of nearly equal height (nasal vowels), and the
    // grains then alternate in shape, which is heard as a voice an octave
    // lower and rough.
    const bool first = marks.empty() || !marks.back().voiced;
    const auto period = static_cast<std::size_t>(f.period);
    std::size_t peak = i;
    if (first) {
      const std::size_t to = std::min(x.size(), i + period);
      for (std::size_t k = i; k < to; ++k) {
        if (x[k] > x[peak]) peak = k;
      }
    } else {
      const std::size_t previous = marks.back().position;
      const std::size_t at = previous > period / 2 ? previous - period / 2 : 0;
      const int low = static_cast<int>(period * 7 / 8), high = static_cast<int>(period * 9 / 8);
      if (previous + static_cast<std::size_t>(low) >= x.size()) break;
      double best = -2;
      for (int lag = low; lag <= high; ++lag) {
        if (previous + static_cast<std::size_t>(lag) >= x.size()) break;
        const double r = correlation(x, at, period, lag);
        if (r > best) {
          best = r;
          peak = previous + static_cast<std::size_t>(lag);
        }
      }
    }
    if (peak >= x.size()) break;
    if (!marks.empty() && peak <= marks.back().position) peak = marks.back().position + 1;
    if (peak >= x.size()) break;
    marks.push_back({static_cast<std::uint32_t>(peak), true});
    i = peak + period * 7 / 8;
  }
  return marks;
}

struct Recording {
  std::vector<std::int16_t> samples;  // 16000 Hz
  std::vector<int> starts;            // per spoken phoneme, in samples
  std::vector<int> ends;
};

// Speaks the phonemes and finds where each of them lies.
// A syllable break ("-") before `split` keeps eSpeak NG from making one
// sound of two ("t" and "S").
bool record(const std::vector<std::string>& phonemes, std::size_t stressed, Recording& out,
            std::size_t split = 0) {
  std::string text = "[[";
  for (std::size_t i = 0; i < phonemes.size(); ++i) {
    if (i > 0 && i == split) text += "-";
    if (i == stressed) text += "'";
    text += kEspeak.at(phonemes[i]);
  }
  text += "]]";
  Collector c;
  collector = &c;
  espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
               espeakCHARS_UTF8 | espeakPHONEMES, nullptr, nullptr);
  collector = nullptr;
  // eSpeak NG's ";" (a palatal release) belongs to the phoneme before it.
  std::vector<Event> spoken;
  std::vector<int> nextStart;
  for (std::size_t e = 0; e < c.events.size(); ++e) {
    if (c.events[e].name.starts_with('_') || c.events[e].name == ";") continue;
    spoken.push_back(c.events[e]);
    std::size_t n = e + 1;
    while (n < c.events.size() && c.events[n].name == ";") ++n;
    nextStart.push_back(
        n < c.events.size()
            ? c.events[n].ms
            : static_cast<int>(c.samples.size() * 1000 / static_cast<std::size_t>(espeakRate)));
  }
  if (spoken.size() != phonemes.size()) {
    if (verbose) {
      std::cerr << text << ":";
      for (const Event& e : c.events) std::cerr << " " << e.name << "@" << e.ms;
      std::cerr << '\n';
    }
    return false;
  }
  out.samples = resample(c.samples, espeakRate);
  for (std::size_t i = 0; i < spoken.size(); ++i) {
    out.starts.push_back(spoken[i].ms * kRate / 1000);
    out.ends.push_back(nextStart[i] * kRate / 1000);
  }
  return true;
}

bool buildDiphone(const std::string& a, const std::string& b, int nominalPeriod, VoiceDiphone& d) {
  d.first = a;
  d.second = b;
  if (a == "_" && b == "_") {
    d.samples.assign(2 * kPauseSamples, 0);
    d.boundary = kPauseSamples;
    return true;
  }
  // A consonant is said after and before an "a", so that it is fully formed.
  std::vector<std::string> carrier;
  std::size_t first = 0;
  if (a != "_") {
    if (!isVowel(a)) carrier.push_back("a");
    first = carrier.size();
    carrier.push_back(a);
  }
  const std::size_t second = carrier.size();
  if (b != "_") {
    carrier.push_back(b);
    if (!isVowel(b)) carrier.push_back("a");
  }
  std::size_t stressed = carrier.size() - 1;
  if (a != "_" && isVowel(a))
    stressed = first;
  else if (b != "_" && isVowel(b))
    stressed = second;
  Recording rec;
  if (!record(carrier, stressed, rec) && !record(carrier, stressed, rec, second)) return false;
  const int total = static_cast<int>(rec.samples.size());
  auto clampTo = [&](int v) { return std::clamp(v, 0, total); };
  int cutStart = 0, boundary = 0, cutEnd = 0, leadZeros = 0, tailZeros = 0;
  if (a == "_") {
    cutStart = clampTo(rec.starts[second]);
    leadZeros = kPauseSamples;
  } else {
    cutStart = clampTo((rec.starts[first] + rec.ends[first]) / 2);
  }
  if (b == "_") {
    // The end of the first phoneme dies away into the pause.
    boundary = clampTo(rec.ends[first]);
    cutEnd = clampTo(boundary + kPauseSamples);
    tailZeros = kPauseSamples - (cutEnd - boundary);
  } else {
    boundary = clampTo(rec.starts[second]);
    cutEnd = clampTo((rec.starts[second] + rec.ends[second]) / 2);
  }
  if (cutEnd <= cutStart || boundary < cutStart || boundary > cutEnd) return false;
  const std::vector<PitchMark> all = pitchMarks(rec.samples, nominalPeriod);
  d.samples.assign(static_cast<std::size_t>(leadZeros), 0);
  d.samples.insert(d.samples.end(), rec.samples.begin() + cutStart, rec.samples.begin() + cutEnd);
  d.samples.insert(d.samples.end(), static_cast<std::size_t>(std::max(0, tailZeros)), 0);
  d.boundary = static_cast<std::uint32_t>(leadZeros + boundary - cutStart);
  for (int p = 0; p < leadZeros; p += kUnvoicedStep)
    d.marks.push_back({static_cast<std::uint32_t>(p), false});
  for (const PitchMark& m : all) {
    if (static_cast<int>(m.position) >= cutStart && static_cast<int>(m.position) < cutEnd)
      d.marks.push_back(
          {static_cast<std::uint32_t>(leadZeros + static_cast<int>(m.position) - cutStart),
           m.voiced});
  }
  for (std::size_t p = static_cast<std::size_t>(leadZeros + cutEnd - cutStart);
       p < d.samples.size(); p += kUnvoicedStep)
    d.marks.push_back({static_cast<std::uint32_t>(p), false});
  return true;
}

// The level pitch eSpeak NG speaks on, measured on a long vowel.
int measurePeriod() {
  Recording rec;
  if (!record({"a", "a", "a"}, 1, rec)) return 0;
  std::vector<int> lags;
  // A wide search first: the voice's pitch is not known yet.
  for (std::size_t at = 0; at + 1200 < rec.samples.size(); at += 160) {
    double best = 0;
    int bestLag = 0;
    for (int lag = 32; lag <= 320; ++lag) {
      const double r = correlation(rec.samples, at, 640, lag);
      if (r > best) {
        best = r;
        bestLag = lag;
      }
    }
    if (best > 0.8) lags.push_back(bestLag);
  }
  if (lags.empty()) return 0;
  std::nth_element(lags.begin(), lags.begin() + static_cast<long>(lags.size() / 2), lags.end());
  return lags[lags.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  fs::path listFile, out, stamp;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--verbose") {
      verbose = true;
    } else if (i + 1 < argc && opt == "--diphones") {
      listFile = argv[++i];
    } else if (i + 1 < argc && opt == "--out") {
      out = argv[++i];
    } else if (i + 1 < argc && opt == "--stamp") {
      stamp = argv[++i];
    } else {
      std::cerr << "unknown option " << opt << '\n';
      return 2;
    }
  }
  if (listFile.empty() || out.empty()) {
    std::cerr
        << "usage: lamina-mbrolavoice --diphones FILE --out FILE [--stamp FILE] [--verbose]\n";
    return 2;
  }
  const auto began = std::chrono::steady_clock::now();
  std::ifstream in(listFile);
  if (!in) {
    std::cerr << "mbrolavoice: cannot read " << listFile << '\n';
    return 1;
  }
  std::vector<std::pair<std::string, std::string>> wanted;
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line.front() == ';') continue;
    const auto dash = line.find('-');
    if (dash == std::string::npos) continue;
    const std::string a = line.substr(0, dash), b = line.substr(dash + 1);
    if ((a != "_" && !kEspeak.contains(a)) || (b != "_" && !kEspeak.contains(b))) {
      std::cerr << "mbrolavoice: unknown phoneme in " << line << '\n';
      return 1;
    }
    wanted.emplace_back(a, b);
  }
  espeakRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                 espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
  if (espeakRate <= 0) {
    std::cerr << "mbrolavoice: eSpeak NG did not start\n";
    return 1;
  }
  if (espeak_SetVoiceByName("pt-br+f2") != EE_OK && espeak_SetVoiceByName("pt") != EE_OK) {
    std::cerr << "mbrolavoice: eSpeak NG has no Portuguese voice\n";
    return 1;
  }
  espeak_SetSynthCallback(synthCallback);
  // A level pitch near the middle of the intonation's range, and a slow
  // rate: stretching a diphone sounds worse than shortening it.
  espeak_SetParameter(espeakRANGE, 0, 0);
  espeak_SetParameter(espeakPITCH, 55, 0);
  espeak_SetParameter(espeakRATE, 150, 0);
  const int period = measurePeriod();
  if (period <= 0) {
    std::cerr << "mbrolavoice: no pitch found in the voice\n";
    return 1;
  }
  std::vector<VoiceDiphone> diphones;
  int failed = 0;
  for (const auto& [a, b] : wanted) {
    VoiceDiphone d;
    if (!buildDiphone(a, b, period, d)) {
      std::cerr << "mbrolavoice: diphone " << a << "-" << b << " not recorded\n";
      ++failed;
      continue;
    }
    diphones.push_back(std::move(d));
  }
  espeak_Terminate();
  // One gain for the whole voice, leaving room for overlapping grains.
  int peak = 1;
  for (const VoiceDiphone& d : diphones)
    for (std::int16_t s : d.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  const double gain = 14000.0 / peak;
  for (VoiceDiphone& d : diphones)
    for (std::int16_t& s : d.samples) s = static_cast<std::int16_t>(std::lround(s * gain));
  PhoVoice voice;
  voice.pitch = static_cast<int>(std::lround(16000.0 / period));
  if (!voice.setDiphones(std::move(diphones))) {
    std::cerr << "mbrolavoice: the diphones do not make a voice\n";
    return 1;
  }
  fs::create_directories(out.parent_path());
  const std::vector<std::uint8_t> bytes = voice.serialize();
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) {
    std::cerr << "mbrolavoice: cannot write " << out << '\n';
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::cout << "mbrolavoice: " << voice.diphones().size() << " of " << wanted.size()
            << " diphones, pitch " << voice.pitch << " Hz, " << bytes.size() << " bytes, "
            << seconds << " s\n";
  if (failed > 0) return 1;
  if (!stamp.empty()) std::ofstream(stamp) << "done\n";
  return 0;
}

// Figures for the diphone voice: start-up time of diphoneStart, real-time
// factor of speaking into the recording device, size of the shipped voice
// data, coverage of a large Portuguese text (unit look-ups found in the
// database, characters with a recorded sound) and, as a check that needs no
// ears, how long our speech lasts against eSpeak NG's for the same sentences.
//
//   bench_voice [TEXT_FILE]   (UTF-8; default: the system's Brazilian word list)
#include <espeak-ng/speak_lib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "diphone/say_text.h"
#include "diphone/speaker.h"
#include "platform/cp1252.h"
#include "platform/recording_wave_out.h"
#include "speech/recorded_speech.h"
#include "wave/simple_pump.h"
#include "wave/wave_player.h"

namespace {

using namespace lamina;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

const char* const kSentences[] = {
    "Bom dia, como vai você?",
    "O arquivo foi convertido com sucesso.",
    "Digite o nome do arquivo de saída.",
    "A apresentação tem doze slides.",
    "Hoje é segunda-feira e está chovendo.",
    "Por favor, aguarde enquanto o programa trabalha.",
    "O computador está pronto para uso.",
    "Não foi possível abrir o arquivo.",
    "A casa amarela fica perto da praça.",
    "Meu irmão gosta de futebol e de música.",
    "Os alunos leram o livro na biblioteca.",
    "Pressione a tecla enter para continuar.",
    "O coração da cidade é o mercado municipal.",
    "Vamos almoçar juntos amanhã ao meio-dia.",
    "A reunião começa às três horas da tarde.",
    "Ela comprou pão, leite e manteiga.",
    "O trem chegou atrasado à estação.",
    "Quero aprender a programar computadores.",
    "As crianças brincam no jardim da escola.",
    "Obrigado pela atenção e até logo.",
};

struct Voice {
  diphone::LetterRules rules;
  diphone::DiphoneDatabase db{rules, diphone::DataLocations::standard()};
  platform::RecordingWaveOut device;
  wave::SimplePump pump;
  wave::WavePlayer player{device, pump};
  speech::RecordedSpeech speech{player, pump};
  diphone::DiphoneSpeaker speaker{db, speech};

  Voice() { device.setAutoComplete(true); }
  // Audio bytes recorded so far, then forgotten.
  std::size_t takeRecorded() {
    std::size_t n = 0;
    for (const auto& s : device.submissions()) n += s.bytes.size();
    device.clearSubmissions();
    return n;
  }
};

std::vector<short>* espeakSink = nullptr;
int espeakCallback(short* wav, int count, espeak_EVENT*) {
  if (espeakSink != nullptr && wav != nullptr)
    espeakSink->insert(espeakSink->end(), wav, wav + count);
  return 0;
}

std::uintmax_t directorySize(const fs::path& dir) {
  std::uintmax_t total = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) total += it->file_size(ec);
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path textFile = argc > 1 ? fs::path(argv[1]) : fs::path("/usr/share/dict/brazilian");
  Voice voice;

  // Start-up.
  constexpr int kStarts = 20;
  auto t0 = Clock::now();
  for (int i = 0; i < kStarts; ++i) {
    if (const auto rc = voice.db.diphoneStart(); rc != diphone::StartResult::ready) {
      std::printf("diphoneStart failed: %d\n", static_cast<int>(rc));
      return 1;
    }
  }
  std::printf("diphoneStart: %.3f ms (mean of %d), %zu units\n", secondsSince(t0) * 1000 / kStarts,
              kStarts, voice.db.index().size());
  std::printf("shipped voice data: letters %.2f MB, diphones %.2f MB\n",
              static_cast<double>(directorySize(voice.db.lettersDir())) / 1e6,
              static_cast<double>(directorySize(voice.db.diphoneDir())) / 1e6);

  // Real-time factor and durations against eSpeak NG.
  espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
  espeak_SetVoiceByName("pt-br");
  espeak_SetSynthCallback(espeakCallback);
  double synthSeconds = 0;
  double audioSeconds = 0;
  double minRatio = 1e9, maxRatio = 0;
  std::printf("\n%-52s %7s %7s %6s\n", "sentence", "ours s", "eSpeak", "ratio");
  for (const char* sentence : kSentences) {
    const std::string text = cp1252::fromUtf8(sentence);
    t0 = Clock::now();
    diphone::sayText(text, voice.rules, voice.speaker);
    synthSeconds += secondsSince(t0);
    const double ours = static_cast<double>(voice.takeRecorded()) / 11025.0;
    audioSeconds += ours;

    std::vector<short> samples;
    espeakSink = &samples;
    espeak_Synth(sentence, std::string_view(sentence).size() + 1, 0, POS_CHARACTER, 0,
                 espeakCHARS_UTF8, nullptr, nullptr);
    espeakSink = nullptr;
    const double theirs = static_cast<double>(samples.size()) / 22050.0;
    const double ratio = theirs > 0 ? ours / theirs : 0;
    minRatio = std::min(minRatio, ratio);
    maxRatio = std::max(maxRatio, ratio);
    std::printf("%-52.52s %7.2f %7.2f %6.2f\n", sentence, ours, theirs, ratio);
  }
  espeak_Terminate();
  std::printf("duration ratio ours/eSpeak: %.2f .. %.2f (aim 0.5 .. 2)\n", minRatio, maxRatio);
  std::printf(
      "speakPhonetic into the recording device: %.2f s of audio in %.4f s, "
      "real-time factor %.5f\n",
      audioSeconds, synthSeconds, synthSeconds / audioSeconds);

  // Coverage of a large text.
  std::ifstream in(textFile, std::ios::binary);
  if (!in) {
    std::printf("\ncoverage: cannot read %s\n", textFile.string().c_str());
    return 0;
  }
  std::stringstream whole;
  whole << in.rdbuf();
  const std::string text = cp1252::fromUtf8(whole.str());
  std::size_t lookups = 0, found = 0;
  std::map<std::string, std::size_t> missing;
  voice.db.setLookupObserver([&](std::string_view name, bool ok) {
    ++lookups;
    if (ok) {
      ++found;
    } else {
      ++missing[std::string(name)];
    }
  });
  std::size_t chars = 0, withSound = 0;
  std::map<unsigned char, bool> soundFile;
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code == '\n' || code == '\r') continue;
    ++chars;
    auto it = soundFile.find(code);
    if (it == soundFile.end()) {
      it = soundFile
               .emplace(code,
                        fs::exists(voice.db.lettersDir() / ("_" + std::to_string(code) + ".wav")))
               .first;
    }
    if (it->second) ++withSound;
  }
  t0 = Clock::now();
  std::istringstream lines(text);
  std::string line;
  std::size_t audio = 0;
  while (std::getline(lines, line)) {
    diphone::sayText(line, voice.rules, voice.speaker);
    audio += voice.takeRecorded();
  }
  const double spent = secondsSince(t0);
  std::printf(
      "\ncoverage of %s (%.2f MB): unit look-ups found %zu of %zu (%.3f %%), "
      "characters with a sound file %.3f %%\n",
      textFile.string().c_str(), static_cast<double>(text.size()) / 1e6, found, lookups,
      lookups ? 100.0 * static_cast<double>(found) / static_cast<double>(lookups) : 100.0,
      chars ? 100.0 * static_cast<double>(withSound) / static_cast<double>(chars) : 100.0);
  std::printf("spoke it in %.2f s: %.0f s of audio, real-time factor %.5f\n", spent,
              static_cast<double>(audio) / 11025.0, spent / (static_cast<double>(audio) / 11025.0));
  std::vector<std::pair<std::size_t, std::string>> worst;
  for (const auto& [name, n] : missing) worst.emplace_back(n, name);
  std::sort(worst.rbegin(), worst.rend());
  if (!worst.empty()) std::printf("most looked-up missing units:");
  for (std::size_t i = 0; i < worst.size() && i < 15; ++i) {
    std::printf(" %s(%zu)", cp1252::toUtf8(worst[i].second).c_str(), worst[i].first);
  }
  std::printf("\n");
  voice.db.diphoneStop();
  return 0;
}

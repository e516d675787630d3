// bench_pho_synth [VOICE]: our synthesizer of MBROLA input lines on one
// core: the real-time factor (seconds of sound per second of processor
// time) over the front-end's lines for a set of sentences, the time to the
// first sample of a sentence, and the peak memory of the process.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "mbrola_tts/front_end.h"
#include "mbrola_tts/pho_synth.h"
#include "platform/cp1252.h"

namespace {

using namespace lamina;

const char* const kSentences[] = {
    "Bom dia a todos, obrigado pela presença.",
    "Hoje vamos falar sobre o planejamento do próximo ano.",
    "O faturamento da empresa cresceu no último trimestre.",
    "A nossa meta é dobrar o número de clientes.",
    "Primeiro, vamos ver os resultados de vendas.",
    "Qual é o prazo para a entrega do relatório?",
    "Este gráfico mostra a evolução das vendas.",
    "A reunião será na sala de conferências.",
    "O sistema novo é mais rápido e mais seguro.",
    "A apresentação está dividida em três partes.",
};

// The process's peak resident memory in kB (0 when the system does not say).
long peakKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmHWM:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

double cpuSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

}  // namespace

int main(int argc, char** argv) {
  mbrola_tts::MbrolaFrontEnd frontEnd;
  mbrola_tts::SilentReporter reporter;
  if (frontEnd.load(mbrola_tts::LanguageFiles::inFolder(LAMINA_MBROLA_DATA_DIR), reporter) !=
      mbrola_tts::LoadResult::ok) {
    std::fprintf(stderr, "the language files did not load\n");
    return 1;
  }
  mbrola_tts::PhoSynth synth;
  const std::string voice = argc > 1 ? argv[1] : LAMINA_MBROLA_VOICE;
  if (synth.init(voice) < 0) {
    std::fprintf(stderr, "the voice %s did not load\n", voice.c_str());
    return 1;
  }
  std::vector<std::vector<std::string>> texts;
  for (const char* s : kSentences)
    texts.push_back(frontEnd.textToMbrola(cp1252::fromUtf8(s), 1, 1));
  const long afterLoad = peakKb();

  std::vector<std::int16_t> buffer(16000);
  std::int64_t samples = 0;
  double firstSampleWorst = 0;
  const double began = cpuSeconds();
  constexpr int kRounds = 20;
  for (int round = 0; round < kRounds; ++round) {
    for (const auto& lines : texts) {
      const auto start = std::chrono::steady_clock::now();
      bool first = true;
      for (const std::string& line : lines) {
        synth.write(line + "\r\n");
        for (int n; (n = synth.read(buffer)) > 0;) {
          if (first) {
            first = false;
            firstSampleWorst = std::max(
                firstSampleWorst,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
          }
          samples += n;
        }
      }
      synth.flush();
      for (int n; (n = synth.read(buffer)) > 0;) samples += n;
    }
  }
  const double cpu = cpuSeconds() - began;
  const double sound = static_cast<double>(samples) / mbrola_tts::kMbrolaSampleRate;
  std::printf("pho synth: %.1f s of sound in %.3f s of processor time: %.0fx real time\n", sound,
              cpu, cpu > 0 ? sound / cpu : 0);
  std::printf("pho synth: first sample of a sentence after at most %.2f ms\n",
              1000 * firstSampleWorst);
  std::printf("pho synth: peak memory %ld kB (%ld kB with the voice and language files loaded)\n",
              peakKb(), afterLoad);
  return 0;
}

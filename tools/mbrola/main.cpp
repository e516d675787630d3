// lamina-mbrola VOICE IN.pho OUT.wav: renders MBROLA input lines (as
// lamina-pho writes them) with our own voice into a 16-bit 16000 Hz wave
// file. VOICE is a voice file or folder, or "br4" for the one built with
// the program; IN.pho may be "-" for standard input.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "mbrola_tts/pho_synth.h"
#include "platform/riff.h"

namespace {

void drain(lamina::mbrola_tts::PhoSynth& synth, std::vector<std::uint8_t>& out) {
  std::int16_t buffer[4096];
  int n = 0;
  while ((n = synth.read(buffer)) > 0) {
    for (int i = 0; i < n; ++i) {
      const auto u = static_cast<std::uint16_t>(buffer[i]);
      out.push_back(static_cast<std::uint8_t>(u));
      out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "uso: lamina-mbrola VOZ ENTRADA.pho SAIDA.wav\n";
    return 2;
  }
  lamina::mbrola_tts::PhoSynth synth;
  if (synth.init(argv[1]) < 0) {
    std::cerr << "lamina-mbrola: a voz " << argv[1] << " não pôde ser aberta\n";
    return 1;
  }
  synth.setNoError(1);
  std::ifstream file;
  const std::string inName = argv[2];
  if (inName != "-") {
    file.open(inName, std::ios::binary);
    if (!file) {
      std::cerr << "lamina-mbrola: não consigo ler " << inName << '\n';
      return 1;
    }
  }
  std::istream& in = inName == "-" ? std::cin : file;
  std::vector<std::uint8_t> wave(lamina::riff::kWaveHeaderSize);
  std::string line;
  while (std::getline(in, line)) {
    synth.write(line);
    drain(synth, wave);
  }
  synth.flush();
  drain(synth, wave);
  const auto dataSize = static_cast<std::uint32_t>(wave.size() - lamina::riff::kWaveHeaderSize);
  lamina::riff::writeWaveHeader(wave, dataSize, lamina::mbrola_tts::kMbrolaSampleRate, 16, 1);
  lamina::riff::put16(wave, 32, 2);  // two bytes per sample frame
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(wave.data()), static_cast<std::streamsize>(wave.size()));
  if (!out) {
    std::cerr << "lamina-mbrola: não consigo escrever " << argv[3] << '\n';
    return 1;
  }
  const auto& s = synth.stats();
  std::cerr << "lamina-mbrola: " << s.phonemes << " fonemas, " << dataSize / 2 << " amostras, "
            << s.missingDiphones << " difones ausentes, " << s.unknownPhonemes
            << " fonemas desconhecidos, " << s.badLines << " linhas recusadas\n";
  return 0;
}

// bench_mbrola_tts [TEXT_FILE]: the front-end's speed (voice lines per
// second for 100 KB of text) and the sum of its durations per sentence
// against eSpeak NG's Brazilian voice at its default speed.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_tts/front_end.h"
#include "platform/cp1252.h"

namespace {

using namespace lamina;
using Clock = std::chrono::steady_clock;

const char* const kSentences[] = {
    "Bom dia a todos, obrigado pela presença.",
    "Hoje vamos falar sobre o planejamento do próximo ano.",
    "O faturamento da empresa cresceu no último trimestre.",
    "A nossa meta é dobrar o número de clientes.",
    "Primeiro, vamos ver os resultados de vendas.",
    "Em seguida, apresento os novos projetos da equipe.",
    "Por fim, abrimos espaço para as perguntas.",
    "Qual é o prazo para a entrega do relatório?",
    "Os custos de produção caíram bastante.",
    "A pesquisa foi feita com mil pessoas.",
    "Este gráfico mostra a evolução das vendas.",
    "A tabela seguinte resume os principais números.",
    "Precisamos melhorar o atendimento ao cliente.",
    "A reunião será na sala de conferências.",
    "O treinamento começa na próxima segunda-feira.",
    "Todos os funcionários devem participar.",
    "A empresa investiu em novas tecnologias.",
    "O sistema novo é mais rápido e mais seguro.",
    "Os dados mostram uma tendência de crescimento.",
    "Vamos analisar cada região separadamente.",
    "O mercado brasileiro é muito competitivo.",
    "A concorrência lançou um produto parecido.",
    "Nossa vantagem é a qualidade do serviço.",
    "O orçamento precisa ser aprovado pela diretoria.",
    "A apresentação está dividida em três partes.",
    "Muito obrigado a todos pela atenção.",
    "Alguém tem alguma dúvida sobre este ponto?",
    "Esta é a conclusão do nosso estudo.",
    "O projeto terminou antes do prazo.",
    "As vendas pela internet aumentaram muito.",
    "A universidade oferece cursos de extensão.",
    "Os alunos apresentaram trabalhos excelentes.",
    "O professor explicou a matéria com calma.",
    "A biblioteca fica aberta até as dez horas.",
    "Vamos fazer um intervalo de quinze minutos.",
    "Depois do almoço, continuamos a discussão.",
    "A prefeitura anunciou novas obras na cidade.",
    "O transporte público precisa de investimentos.",
    "A saúde e a educação são prioridades.",
    "Os moradores pediram mais segurança.",
    "Que resultado maravilhoso!",
    "Parabéns a toda a equipe pelo trabalho!",
    "Você conhece o novo diretor?",
    "Onde fica a saída de emergência?",
    "Quando começa o próximo módulo do curso?",
    "O documento deve ser assinado pelo responsável.",
    "A proposta foi enviada por correio eletrônico.",
    "O contrato vale por dois anos.",
    "Os preços subiram no começo do ano.",
    "Agradecemos a colaboração de todos.",
};

std::vector<short>* espeakSink = nullptr;
int espeakCallback(short* wav, int count, espeak_EVENT*) {
  if (espeakSink != nullptr && wav != nullptr)
    espeakSink->insert(espeakSink->end(), wav, wav + count);
  return 0;
}

// The sum of the durations of the voice's lines, in seconds.
double linesSeconds(const std::vector<std::string>& lines) {
  long total = 0;
  for (const std::string& line : lines) {
    if (line.empty() || line.front() == ';') continue;
    const std::size_t blank = line.find(' ');
    if (blank != std::string::npos) total += std::strtol(line.c_str() + blank + 1, nullptr, 10);
  }
  return static_cast<double>(total) / 1000.0;
}

// eSpeak's sound less its leading and trailing silence, in seconds.
double espeakSeconds(const char* sentence, int rate) {
  std::vector<short> samples;
  espeakSink = &samples;
  espeak_Synth(sentence, std::string_view(sentence).size() + 1, 0, POS_CHARACTER, 0,
               espeakCHARS_UTF8, nullptr, nullptr);
  espeakSink = nullptr;
  const auto loud = [](short s) { return std::abs(static_cast<int>(s)) > 300; };
  const auto first = std::find_if(samples.begin(), samples.end(), loud);
  const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
  return first < last ? static_cast<double>(last - first) / static_cast<double>(rate) : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
  mbrola_tts::MbrolaFrontEnd frontEnd;
  mbrola_tts::StderrReporter reporter;
  if (frontEnd.load(mbrola_tts::LanguageFiles::inFolder(LAMINA_MBROLA_DATA_DIR), reporter) !=
      mbrola_tts::LoadResult::ok) {
    std::printf("cannot load the language files from %s\n", LAMINA_MBROLA_DATA_DIR);
    return 1;
  }

  // Durations against eSpeak NG, speaking time without the pauses before
  // and after the sentence (both sides trimmed of silence).
  const int rate =
      espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
  espeak_SetVoiceByName("pt-br");
  espeak_SetSynthCallback(espeakCallback);
  std::printf("%-52s %7s %7s %6s\n", "sentence", "ours s", "eSpeak", "ratio");
  double oursTotal = 0, theirsTotal = 0, minRatio = 1e9, maxRatio = 0;
  int within = 0;
  for (const char* sentence : kSentences) {
    std::vector<std::string> lines = frontEnd.textToMbrola(cp1252::fromUtf8(sentence), 1.0, 1.0);
    // The phrase-boundary pauses at both ends are silence around the speech.
    double pauses = 0;
    for (const std::string& line : lines) {
      if (line.starts_with("_ "))
        pauses += linesSeconds({line});
      else if (!line.empty() && line.front() != ';')
        break;
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      if (it->starts_with("_ "))
        pauses += linesSeconds({*it});
      else if (!it->empty() && it->front() != ';')
        break;
    }
    const double ours = linesSeconds(lines) - pauses;
    const double theirs = espeakSeconds(sentence, rate);
    const double ratio = theirs > 0 ? ours / theirs : 0;
    oursTotal += ours;
    theirsTotal += theirs;
    minRatio = std::min(minRatio, ratio);
    maxRatio = std::max(maxRatio, ratio);
    within += std::abs(ratio - 1.0) <= 0.10 ? 1 : 0;
    std::printf("%-52.52s %7.2f %7.2f %6.2f\n", sentence, ours, theirs, ratio);
  }
  espeak_Terminate();
  std::printf(
      "duration ratio ours/eSpeak over %zu sentences: total %.3f, range %.2f .. %.2f, %d within 10 "
      "%%\n",
      std::size(kSentences), oursTotal / theirsTotal, minRatio, maxRatio, within);

  // Speed: 100 KB of text, line by line.
  std::string text;
  if (argc > 1) {
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    text = whole.str();
  }
  if (text.empty()) {
    while (text.size() < 100 * 1024) {
      for (const char* s : kSentences)
        text += std::string(s) + " Custa R$ 12,50 (3º item), 15% a mais.\n";
    }
  }
  text = cp1252::fromUtf8(text).substr(0, 100 * 1024);
  std::size_t produced = 0;
  const auto t0 = Clock::now();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    produced +=
        frontEnd.textToMbrola(std::string_view(text).substr(start, end - start), 1.0, 1.0).size();
    start = end + 1;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("100 KB of text: %zu voice lines in %.3f s, %.0f lines/s, %.0f KB/s\n", produced,
              seconds, static_cast<double>(produced) / seconds, 100.0 / seconds);
  return 0;
}

// Our synthesizer of MBROLA input lines with the voice built from eSpeak
// NG: it follows the durations and pitch of the front-end's lines, its
// diphone joins make no jumps, the voice covers every diphone the
// front-end asks for, and bad lines and damaged voices are refused cleanly.
#include "mbrola_tts/pho_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "mbrola_tts/front_end.h"
#include "pho_test_voice.h"
#include "test_util.h"

namespace lamina::mbrola_tts {
namespace {

using test::cp;

const PhoVoice& builtVoice() {
  static const PhoVoice voice = [] {
    PhoVoice v;
    v.load(LAMINA_MBROLA_VOICE);
    return v;
  }();
  return voice;
}

const MbrolaFrontEnd& frontEnd() {
  static const MbrolaFrontEnd f = [] {
    MbrolaFrontEnd e;
    SilentReporter reporter;
    e.load(LanguageFiles::inFolder(LAMINA_MBROLA_DATA_DIR), reporter);
    return e;
  }();
  return f;
}

std::vector<std::int16_t> render(PhoSynth& synth, const std::vector<std::string>& lines) {
  std::vector<std::int16_t> out;
  std::int16_t buffer[1000];
  auto drain = [&] {
    for (int n; (n = synth.read(buffer)) > 0;) out.insert(out.end(), buffer, buffer + n);
  };
  for (const std::string& line : lines) {
    synth.write(line + "\r\n");
    drain();
  }
  synth.flush();
  drain();
  return out;
}

// The pitch of x around `at` by normalised autocorrelation (0 when the
// stretch is not periodic enough to tell).
double measurePitch(const std::vector<std::int16_t>& x, std::int64_t at) {
  constexpr int kWindow = 320, kMinLag = 28, kMaxLag = 230;
  const std::int64_t from = at - kWindow / 2 - kMaxLag / 2;
  if (from < 0 || from + kWindow + kMaxLag >= static_cast<std::int64_t>(x.size())) return 0;
  std::vector<double> r(kMaxLag + 2, 0);
  for (int lag = kMinLag - 1; lag <= kMaxLag + 1; ++lag)
    r[static_cast<std::size_t>(lag)] = similarity(x, from, x, from + lag, kWindow);
  int best = kMinLag;
  for (int lag = kMinLag; lag <= kMaxLag; ++lag) {
    if (r[static_cast<std::size_t>(lag)] > r[static_cast<std::size_t>(best)]) best = lag;
  }
  // The shortest lag nearly as good as the best: a multiple of the period
  // correlates as well as the period itself.
  for (int lag = kMinLag; lag < best; ++lag) {
    const auto l = static_cast<std::size_t>(lag);
    if (r[l] > 0.9 * r[static_cast<std::size_t>(best)] && r[l] >= r[l - 1] && r[l] >= r[l + 1]) {
      best = lag;
      break;
    }
  }
  const auto b = static_cast<std::size_t>(best);
  if (r[b] < 0.6) return 0;
  const double denom = r[b - 1] - 2 * r[b] + r[b + 1];
  const double shift = denom != 0 ? 0.5 * (r[b - 1] - r[b + 1]) / denom : 0;
  return kMbrolaSampleRate / (best + std::clamp(shift, -0.5, 0.5));
}

double rms(const std::vector<std::int16_t>& x, std::int64_t from, std::int64_t to) {
  from = std::max<std::int64_t>(from, 0);
  to = std::min<std::int64_t>(to, static_cast<std::int64_t>(x.size()));
  double sum = 0;
  for (std::int64_t i = from; i < to; ++i)
    sum += double(x[static_cast<std::size_t>(i)]) * x[static_cast<std::size_t>(i)];
  return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

bool isVowel(const std::string& p) {
  for (const char* v : {"a", "e", "E", "i", "o", "O", "u", "an", "en", "in", "on", "un"})
    if (p == v) return true;
  return false;
}

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
    "O clima mudou muito nos últimos anos.",
    "As crianças brincam no parque todos os dias.",
    "Meu irmão mora em São Paulo desde dois mil e dez.",
    "Você já leu o livro que eu recomendei?",
    "A viagem de ônibus durou oito horas.",
    "O hospital recebeu equipamentos modernos.",
    "Cuidado com o degrau na saída da sala!",
    "Ela gosta de café com leite e pão de queijo.",
    "O time venceu o campeonato estadual.",
    "Amanhã vai chover no litoral do estado.",
    "O computador desligou sozinho durante a noite.",
    "Precisamos de mais voluntários para o evento.",
    "A prefeitura vai reformar a praça central.",
    "Obrigado, até a próxima reunião.",
};

// A step in loudness across a join louder than this is heard as a bump.
constexpr double kJoinStepDb = 8;

TEST(PhoSynth, FollowsTheDurationsAndPitchOfFiftySentences) {
  ASSERT_FALSE(builtVoice().empty()) << "the built voice is missing: " << LAMINA_MBROLA_VOICE;
  PhoSynth synth;
  synth.useVoice(builtVoice());
  int points = 0, voicedPoints = 0, pitchOff = 0, joins = 0, jumps = 0;
  double worstPitch = 0, worstDuration = 0, worstJoin = 0, pitchErrorSum = 0;
  for (const char* sentence : kSentences) {
    const std::vector<std::string> lines = frontEnd().textToMbrola(cp(sentence), 1.0, 1.0);
    const std::vector<std::int16_t> out = render(synth, lines);
    double clockMs = 0;
    std::string previous = "_";
    std::vector<std::pair<std::string, std::int64_t>> starts;  // phoneme, start
    struct Target {
      std::int64_t at;
      double hz;
    };
    std::vector<Target> targets;
    for (const std::string& text : lines) {
      const PhoLine line = parsePhoLine(text);
      if (line.kind != PhoLine::Kind::phoneme) continue;
      const auto start = std::llround(clockMs * 16);
      clockMs += line.durationMs;
      const auto end = std::llround(clockMs * 16);
      starts.emplace_back(line.name, start);
      if (isVowel(line.name)) {
        for (const auto& [position, hz] : line.targets)
          targets.push_back({start + std::llround(position / 100 * double(end - start)), hz});
      }
    }
    starts.emplace_back("_", std::llround(clockMs * 16));
    const double expected = clockMs * 16;
    const double durationError = std::abs(double(out.size()) - expected) / expected;
    worstDuration = std::max(worstDuration, durationError);
    EXPECT_LE(durationError, 0.02) << sentence;
    for (const Target& t : targets) {
      ++points;
      const double hz = measurePitch(out, t.at);
      if (hz == 0) continue;
      ++voicedPoints;
      const double error = std::abs(hz - t.hz) / t.hz;
      pitchErrorSum += error;
      worstPitch = std::max(worstPitch, error);
      if (error > 0.05) {
        ++pitchOff;
        std::printf("%s: %.1f Hz measured for %.0f Hz at sample %lld\n", sentence, hz, t.hz,
                    static_cast<long long>(t.at));
      }
    }
    // Two diphones meet inside every phoneme, where the time of its left
    // and right halves meet; the loudness must not jump there.
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
      const std::string& name = starts[i].first;
      const std::string& next = i + 2 < starts.size() ? starts[i + 1].first : "_";
      const VoiceDiphone* left = builtVoice().find(previous, name);
      const VoiceDiphone* right = builtVoice().find(name, next);
      previous = name;
      if (left == nullptr || right == nullptr) continue;
      const double a = double(left->samples.size() - left->boundary), b = right->boundary;
      const std::int64_t from = starts[i].second, to = starts[i + 1].second;
      if (a + b <= 0 || to - from < 640) continue;
      const std::int64_t join = from + std::llround(double(to - from) * a / (a + b));
      // Up to 10 ms on each side, within the phoneme.
      const std::int64_t reach = std::min<std::int64_t>({160, join - from, to - join});
      if (reach < 80) continue;
      const double before = rms(out, join - reach, join), after = rms(out, join, join + reach);
      if (std::max(before, after) < 1000) continue;  // a closure or a pause
      ++joins;
      const double db = std::abs(20 * std::log10((before + 1) / (after + 1)));
      worstJoin = std::max(worstJoin, db);
      if (db > kJoinStepDb) {
        ++jumps;
        std::printf("%s: %.1f dB step inside \"%s\" at sample %lld\n", sentence, db, name.c_str(),
                    static_cast<long long>(join));
      }
    }
  }
  std::printf(
      "pho synth, 50 sentences: duration error at most %.3f %%; %d vowel pitch targets, %d "
      "voiced, mean error %.2f %%, worst %.2f %%, %d beyond 5 %%; %d joins, worst level step "
      "%.2f dB, %d beyond %.0f dB\n",
      100 * worstDuration, points, voicedPoints, 100 * pitchErrorSum / std::max(1, voicedPoints),
      100 * worstPitch, pitchOff, joins, worstJoin, jumps, kJoinStepDb);
  EXPECT_GT(voicedPoints, points * 9 / 10);
  // A point on a steep slope may measure a little off (the window sees the
  // slope); a period skipped or repeated shows as a far larger error.
  EXPECT_LE(pitchOff * 100, voicedPoints);
  EXPECT_LT(worstPitch, 0.10);
  EXPECT_LT(pitchErrorSum / std::max(1, voicedPoints), 0.015);
  EXPECT_EQ(jumps, 0);
}

}  // namespace
}  // namespace lamina::mbrola_tts

namespace lamina::mbrola_tts {
namespace {

TEST(PhoSynth, TheVoiceHasEveryDiphoneOfTheListAndOfTheWordList) {
  ASSERT_FALSE(builtVoice().empty());
  std::ifstream list(std::string(LAMINA_MBROLA_DATA_DIR) + "/portug.dfn");
  std::string line;
  int listed = 0;
  while (std::getline(list, line)) {
    if (line.empty() || line.front() == ';') continue;
    ++listed;
    const auto dash = line.find('-');
    EXPECT_NE(builtVoice().find(line.substr(0, dash), line.substr(dash + 1)), nullptr) << line;
  }
  EXPECT_GT(listed, 1000);
  // The engine's default database name finds the built voice.
  PhoSynth synth;
  EXPECT_EQ(synth.init("br4"), 0);
  EXPECT_EQ(synth.voice().diphones().size(), builtVoice().diphones().size());
  EXPECT_TRUE(std::filesystem::exists(defaultMbrolaVoice()));
  std::ifstream words("/usr/share/dict/brazilian");
  if (!words) GTEST_SKIP() << "the Brazilian word list (package wbrazilian) is not installed";
  std::set<std::string> needed, missing;
  std::string word;
  while (std::getline(words, word)) {
    const std::vector<std::string> names = phonemeSequence(frontEnd().phonemeLines(cp(word)));
    for (std::size_t i = 1; i < names.size(); ++i) {
      const std::string d = names[i - 1] + "-" + names[i];
      if (needed.insert(d).second && builtVoice().find(names[i - 1], names[i]) == nullptr)
        missing.insert(d);
    }
  }
  std::printf("built voice: %zu diphones; %d listed; %zu needed by the word list, %zu missing\n",
              builtVoice().diphones().size(), listed, needed.size(), missing.size());
  for (const std::string& d : missing) ADD_FAILURE() << "missing diphone " << d;
}

TEST(PhoSynth, BadLinesAreClampedOrRefusedAndTimingHolds) {
  PhoSynth synth;
  synth.useVoice(test::testVoice());
  synth.setNoError(1);
  // Every accepted line keeps its place in time; unknown names are pauses.
  const std::vector<std::string> lines = {"; a comment",
                                          "",
                                          "a 100",
                                          "xyz 100",
                                          "a 0",
                                          "a 99999999999",
                                          "a 100 -20 180 250 200",
                                          "a 100 50 0",
                                          "a 100 50 10000",
                                          "a abc",
                                          "a -5",
                                          "a 100 50",
                                          "a 100 50 x",
                                          "#",
                                          "s 100",
                                          "y 50"};
  const std::vector<std::int16_t> out = render(synth, lines);
  const PhoSynthStats& s = synth.stats();
  EXPECT_EQ(s.unknownPhonemes, 2);  // "xyz", and "y" ("j") which this voice lacks
  EXPECT_EQ(s.badLines, 3);
  EXPECT_EQ(s.clampedValues, 1 + 2 + 1 + 1 + 1);
  EXPECT_EQ(synth.lastError(), kPhoUnknownPhoneme);
  const double ms = 100 + 100 + 0 + kMaxPhonemeMs + 100 + 100 + 100 + 100 + 100 + 50;
  EXPECT_EQ(out.size(), static_cast<std::size_t>(ms * 16));
  // The unknown phoneme is silent away from its neighbours' grains.
  for (std::size_t i = 1600 + 400; i < 3200 - 400; ++i) ASSERT_EQ(out[i], 0) << i;
  EXPECT_GT(rms(out, 400, 1200), 1000);

  // Without the no-error mode the first error stops the text until reset.
  PhoSynth strict;
  strict.useVoice(test::testVoice());
  EXPECT_LT(strict.write("a abc"), 0);
  EXPECT_EQ(strict.lastError(), kPhoBadLine);
  EXPECT_LT(strict.write("a 100"), 0);
  EXPECT_TRUE(render(strict, {}).empty());
  strict.reset();
  EXPECT_EQ(strict.lastError(), kPhoNoError);
  EXPECT_EQ(render(strict, {"a 100"}).size(), 1600u);
}

TEST(PhoSynth, MissingDiphoneIsSilenceOfItsLength) {
  PhoSynth synth;
  synth.useVoice(test::testVoice());
  const std::vector<std::int16_t> out = render(synth, {"_ 100", "s 200", "s 200", "_ 100"});
  EXPECT_EQ(synth.stats().missingDiphones, 1);
  ASSERT_EQ(out.size(), 600u * 16);
  // The second half of the first "s" and the first half of the second.
  for (std::size_t i = 3200 + 320; i < 6400 - 320; ++i) ASSERT_EQ(out[i], 0) << i;
  EXPECT_GT(rms(out, 1600, 3000), 300);
  EXPECT_GT(rms(out, 6700, 8000), 300);
}

TEST(PhoSynth, PitchFollowsTargetsAndOtherwiseTheVoice) {
  PhoSynth synth;
  synth.useVoice(test::testVoice());
  // Targets carried across phonemes: 120 Hz at the start of the first
  // "a", 240 Hz at the end of the third: 150 Hz a quarter of the way, 180 Hz
  // half way.
  const auto out = render(synth, {"a 200 0 120", "a 200", "a 200 100 240"});
  EXPECT_NEAR(measurePitch(out, 2400), 150, 150 * 0.05);
  EXPECT_NEAR(measurePitch(out, 4800), 180, 180 * 0.05);
  // No target at all: the voice's own pitch.
  const auto flat = render(synth, {"a 300", "a 300"});
  EXPECT_NEAR(measurePitch(flat, 4800), 160, 160 * 0.05);
}

TEST(PhoSynth, TenThousandLinesAreSpokenAsTheyArrive) {
  PhoSynth synth;
  synth.useVoice(test::testVoice());
  std::size_t total = 0, mostReady = 0;
  int firstSound = -1;
  std::int16_t buffer[4096];
  for (int i = 0; i < 10000; ++i) {
    // Targets only now and then, and none at all in the second half.
    std::string line = (i % 3 == 2 ? "s " : "a ") + std::to_string(40 + i % 50);
    if (i < 5000 && i % 7 == 0) line += " 50 " + std::to_string(120 + i % 100);
    synth.write(line);
    mostReady = std::max(mostReady, synth.pending());
    for (int n; (n = synth.read(buffer)) > 0;) total += static_cast<std::size_t>(n);
    if (firstSound < 0 && total > 0) firstSound = i;
  }
  synth.flush();
  for (int n; (n = synth.read(buffer)) > 0;) total += static_cast<std::size_t>(n);
  std::size_t expected = 0;
  for (int i = 0; i < 10000; ++i) expected += static_cast<std::size_t>(40 + i % 50) * 16;
  EXPECT_EQ(total, expected);
  EXPECT_GE(firstSound, 0);
  EXPECT_LT(firstSound, 20);
  // What one line adds is a few phonemes, even with no targets to wait for.
  EXPECT_LT(mostReady, 80u * 90 * 16);
  EXPECT_EQ(synth.stats().phonemes, 10000);
}

TEST(PhoVoice, DamagedVoicesAreRefused) {
  const std::vector<std::uint8_t> good = test::testVoice().serialize();
  PhoVoice v;
  ASSERT_EQ(v.parse(good), VoiceLoadResult::ok);
  EXPECT_EQ(v.diphones().size(), 8u);
  for (std::size_t n = 0; n < good.size(); n += 7) {
    ASSERT_EQ(v.parse(std::span(good).first(n)), VoiceLoadResult::damaged) << n;
    EXPECT_TRUE(v.empty());
  }
  auto bad = good;
  bad[20] = 0xff;  // a diphone count in the millions
  EXPECT_EQ(v.parse(bad), VoiceLoadResult::damaged);
  bad = good;
  bad.push_back(0);  // trailing garbage
  EXPECT_EQ(v.parse(bad), VoiceLoadResult::damaged);

  PhoSynth synth;
  const test::TempFile file(std::string(good.begin(), good.end()), "voz.dip");
  EXPECT_EQ(synth.init(file.path().string()), 0);
  const test::TempFile cut(std::string(good.begin(), good.begin() + 100), "voz.dip");
  EXPECT_LT(synth.init(cut.path().string()), 0);
  EXPECT_LT(synth.write("a 100"), 0);
  EXPECT_EQ(synth.lastError(), kPhoNoVoice);
  EXPECT_LT(synth.init((file.path().parent_path() / "no-such-voice.dip").string()), 0);
  // A folder holds its voice under its own name.
  const auto folder = file.path().parent_path() / ("voz-" + file.path().stem().string());
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(file.path(), folder / (folder.filename().string() + ".dip"));
  EXPECT_EQ(synth.init(folder.string()), 0);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace lamina::mbrola_tts

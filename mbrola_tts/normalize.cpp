#include "mbrola_tts/normalize.h"

#include <array>
#include <vector>

#include "mbrola_tts/text_lines.h"

namespace lamina::mbrola_tts {
namespace {

// Builds a table of cp1252 texts from UTF-8 literals once.
template <std::size_t N>
std::array<std::string, N> table(const std::array<std::string_view, N>& utf8) {
  std::array<std::string, N> out;
  for (std::size_t i = 0; i < N; ++i) out[i] = fromSource(utf8[i]);
  return out;
}

const std::array<std::string, 10>& units() {
  static const auto t =
      table<10>({"zero", "um", "dois", "três", "quatro", "cinco", "seis", "sete", "oito", "nove"});
  return t;
}
const std::array<std::string, 10>& teens() {
  static const auto t = table<10>({"dez", "onze", "doze", "treze", "quatorze", "quinze",
                                   "dezesseis", "dezessete", "dezoito", "dezenove"});
  return t;
}
const std::array<std::string, 10>& tens() {
  static const auto t = table<10>({"", "", "vinte", "trinta", "quarenta", "cinqüenta", "sessenta",
                                   "setenta", "oitenta", "noventa"});
  return t;
}
const std::array<std::string, 10>& hundreds() {
  static const auto t =
      table<10>({"", "cento", "duzentos", "trezentos", "quatrocentos", "quinhentos", "seiscentos",
                 "setecentos", "oitocentos", "novecentos"});
  return t;
}
const std::array<std::string, 5>& scaleSingular() {
  static const auto t = table<5>({"trilhão ", "bilhão ", "milhão ", "mil ", ""});
  return t;
}
const std::array<std::string, 5>& scalePlural() {
  static const auto t = table<5>({"trilhões ", "bilhões ", "milhões ", "mil ", ""});
  return t;
}
const std::array<std::string, 10>& ordinalUnits() {
  static const auto t = table<10>({"", "primeiro", "segundo", "terceiro", "quarto", "quinto",
                                   "sexto", "sétimo", "oitavo", "nono"});
  return t;
}
const std::array<std::string, 10>& ordinalTens() {
  static const auto t =
      table<10>({"", "décimo", "vigésimo", "trigésimo", "quadragésimo", "quinquagésimo",
                 "sexagésimo", "septuagésimo", "octagésimo", "nonagésimo"});
  return t;
}
const std::array<std::string, 10>& ordinalHundreds() {
  static const auto t =
      table<10>({"", "centésimo", "ducentésimo", "tricentésimo", "quadrigentésimo", "quingentésimo",
                 "seiscentésimo", "septigentésimo", "octigentésimo", "nongentésimo"});
  return t;
}

const std::array<std::string, 95>& asciiNames() {
  static const auto t = table<95>({"espaço",
                                   "exclamação",
                                   "aspas",
                                   "sustenido",
                                   "cifrão",
                                   "porcento",
                                   "é comercial",
                                   "apóstrofo",
                                   "abre parênteses",
                                   "fecha parênteses",
                                   "asterisco",
                                   "mais",
                                   "vírgula",
                                   "traço",
                                   "ponto",
                                   "barra",
                                   "zéro",
                                   "um",
                                   "dois",
                                   "três",
                                   "quatro",
                                   "cinco",
                                   "seis",
                                   "séte",
                                   "oito",
                                   "nóve",
                                   "dois pontos",
                                   "ponto e vírgula",
                                   "menor que",
                                   "igual",
                                   "maior que",
                                   "interrogação",
                                   "arrôba",
                                   "a",
                                   "bê",
                                   " sê",
                                   " dê",
                                   "é",
                                   "éfe",
                                   "jê",
                                   "agá",
                                   "i",
                                   "jóta",
                                   "cá",
                                   "éle",
                                   "ême",
                                   "êne",
                                   "ó",
                                   "pê",
                                   "quê",
                                   "érre",
                                   "ésse",
                                   "tê",
                                   "u",
                                   "vê",
                                   "dábliu",
                                   "xis",
                                   "ípsilon",
                                   "zê",
                                   "abre colchete",
                                   "barra invertida",
                                   "fecha colchete",
                                   "circunflexo",
                                   "sublinhado",
                                   "crase",
                                   "a",
                                   "bê",
                                   " sê",
                                   " dê",
                                   "é",
                                   "éfe",
                                   "jê",
                                   "agá",
                                   "i",
                                   "jota",
                                   "cá",
                                   "éle",
                                   "ême",
                                   "ene",
                                   "ó",
                                   "pê",
                                   "quê",
                                   "érre",
                                   "ésse",
                                   "tê",
                                   "u",
                                   "vê",
                                   "dábliu",
                                   "xis",
                                   "ípsilon",
                                   "zê",
                                   "abre chave",
                                   "barra vertical",
                                   "fecha chave",
                                   "til"});
  return t;
}
const std::array<std::string, 29>& capitalNames() {
  static const auto t = table<29>(
      {"A grave",   "A agudo",    "A circunflexo", "A com til",     "A com trema",   "A bola",
       "A É",       "Cê cedilha", "É grave",       "É agudo",       "É circunflexo", "É com trema",
       "I grave",   "I agudo",    "I circunflexo", "I com trema",   "Dê cortado",    "N com til",
       "Ó grave",   "Ó agudo",    "Ó circunflexo", "Ó com til",     "Ó tremado",     "vezes",
       "Ó cortado", "U grave",    "U agudo",       "U circunflexo", "U com trema"});
  return t;
}
const std::array<std::string, 31>& signNames() {
  static const auto t = table<31>({"exclamação reversa",
                                   "centavos de dólar",
                                   "libras",
                                   "símbolo de moeda",
                                   "iene",
                                   "barra interrompida",
                                   "parágrafo",
                                   "trema",
                                   "copyright",
                                   "ordinal feminino",
                                   "Aspas angulares esquerdas",
                                   "negação",
                                   "hífen",
                                   "Marca registrada",
                                   "mácron",
                                   "grau",
                                   "mais ou menos",
                                   "elevado ao quadrado",
                                   "elevado ao cubo",
                                   "acento agudo",
                                   "mi",
                                   "pi",
                                   "ponto no meio",
                                   "cedilha",
                                   "expoente um",
                                   "ordinal masculino",
                                   "aspas angulares direitas",
                                   "um quarto",
                                   "um meio",
                                   "três quartos",
                                   "interrogação reversa"});
  return t;
}

bool isLetterByte(unsigned char c) {
  return isLetter(c);
}

bool isDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

bool isConsonant(unsigned char c) {
  const unsigned char u = (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
  if (u >= 'B' && u <= 'Z') return u != 'E' && u != 'I' && u != 'O' && u != 'U';
  return c == 0xC7 || c == 0xD1 || c == 0xE7 || c == 0xF1;
}

bool isKeptMark(unsigned char c) {
  return c == ' ' || c == '!' || c == '(' || c == ')' || c == ',' || c == '.' || c == ':' ||
         c == ';' || c == '?';
}

unsigned char at(std::string_view text, std::size_t i) {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// One group of three digits; notes whether it joined its hundreds to the
// rest with " e " (then no "e " goes before it: "mil cento e vinte").
std::string groupWords(unsigned d1, unsigned d2, unsigned d3, bool& joined) {
  joined = false;
  if (d1 == 0 && d2 == 0 && d3 == 0) return {};
  if (d1 == 1 && d2 == 0 && d3 == 0) return "cem";
  std::string out;
  if (d1 != 0) {
    out += hundreds()[d1];
    if (d2 == 0 && d3 == 0) return out;
    out += " e ";
    joined = true;
  }
  if (d2 == 1) return out + teens()[d3];
  if (d2 != 0) {
    out += tens()[d2];
    if (d3 == 0) return out;
    out += " e ";
  }
  if (d3 != 0) out += units()[d3];
  return out;
}

// Number words never run into the letters of a word before them ("14h30",
// "ABC-123").
void separateFromWord(std::string& out) {
  if (!out.empty() && isLetterByte(static_cast<unsigned char>(out.back()))) out += ' ';
}

}  // namespace

bool isLetter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  switch (c | 0x20) {  // the lower-case accented letters are 32 above the capitals
    case 0xE0:
    case 0xE1:
    case 0xE2:
    case 0xE3:
    case 0xE7:
    case 0xE9:
    case 0xEA:
    case 0xEC:
    case 0xED:
    case 0xF1:
    case 0xF3:
    case 0xF4:
    case 0xF5:
    case 0xF9:
    case 0xFA:
    case 0xFC:
      return c >= 0xC0;
    default:
      return false;
  }
}

std::string cardinalWords(std::uint32_t n) {
  if (n == 0) return "zero";
  std::string digits = std::to_string(n);
  digits.insert(0, 15 - digits.size(), '0');
  std::array<std::string, 5> groups;
  std::array<bool, 5> joined{};
  int last = -1;
  for (int g = 0; g < 5; ++g) {
    const auto d = [&](int k) {
      return static_cast<unsigned>(digits[static_cast<std::size_t>(g * 3 + k)] - '0');
    };
    groups[g] = groupWords(d(0), d(1), d(2), joined[g]);
    if (groups[g].empty()) continue;
    last = g;
    if (g < 4) {
      const bool one = d(0) == 0 && d(1) == 0 && d(2) == 1;
      groups[g] += " " + (one ? scaleSingular()[g] : scalePlural()[g]);
    }
  }
  std::string out;
  bool earlier = false;
  for (int g = 0; g < 5; ++g) {
    if (groups[g].empty()) continue;
    if (g == last && earlier && !joined[g]) out += "e ";
    out += groups[g];
    earlier = true;
  }
  if (out.starts_with("um mil") && !out.starts_with("um milh")) out.erase(0, 3);
  return out;
}

std::string ordinalWords(std::uint32_t n, char gender) {
  if (n >= 2000) return cardinalWords(n);
  if (n == 0) return "zero";
  std::vector<std::string> words;
  if (n / 1000 > 0) words.push_back(fromSource("milésimo"));
  if (n / 100 % 10 > 0) words.push_back(ordinalHundreds()[n / 100 % 10]);
  if (n / 10 % 10 > 0) words.push_back(ordinalTens()[n / 10 % 10]);
  if (n % 10 > 0) words.push_back(ordinalUnits()[n % 10]);
  std::string out;
  for (std::string& w : words) {
    if (gender == 'f') w.back() = 'a';
    if (!out.empty()) out += ' ';
    out += w;
  }
  return out;
}

std::string readNumber(std::string_view text, std::size_t& pos) {
  std::uint32_t value = 0;
  std::size_t p = pos;
  std::size_t end = pos;
  while (p < text.size()) {
    const unsigned char c = at(text, p);
    if (isDigit(c) && value < 100000000u) {
      value = value * 10 + (c - '0');
      end = ++p;
    } else if (c == '.' && value < 100000000u && isDigit(at(text, p + 1)) &&
               isDigit(at(text, p + 2)) && isDigit(at(text, p + 3))) {
      ++p;
    } else {
      break;
    }
  }
  p = end;
  const std::string_view rest = text.substr(p);
  std::string out;
  if (rest.empty() || rest.front() == ' ') {
    out = cardinalWords(value);
  } else if (at(text, p) == 0xBA) {
    out = ordinalWords(value, 'm');
    p += 1;
  } else if (at(text, p) == 0xAA) {
    out = ordinalWords(value, 'f');
    p += 1;
  } else if (rest.starts_with("o.")) {
    out = ordinalWords(value, 'm');
    p += 2;
  } else if (rest.starts_with("a.")) {
    out = ordinalWords(value, 'f');
    p += 2;
  } else if (rest.starts_with("os.")) {
    out = ordinalWords(value, 'm') + "s";
    p += 3;
  } else if (rest.starts_with("as.")) {
    out = ordinalWords(value, 'f') + "s";
    p += 3;
  } else {
    out = cardinalWords(value);
  }
  pos = p;
  return out;
}

std::string characterName(unsigned char code) {
  if (code >= 224) code = static_cast<unsigned char>(code - 32);
  if (code >= 32 && code <= 126) return asciiNames()[code - 32];
  if (code >= 192 && code <= 220) return capitalNames()[code - 192];
  if (code >= 161 && code <= 191) return signNames()[code - 161];
  return fromSource(" código ") + cardinalWords(code);
}

std::string readWord(std::string_view text, std::size_t& pos,
                     const AbbreviationTable& abbreviations) {
  const std::size_t start = pos;
  std::size_t p = pos;
  std::size_t end = pos;
  bool allConsonants = true;
  while (p < text.size()) {
    const unsigned char c = at(text, p);
    if (isLetter(c)) {
      allConsonants = allConsonants && isConsonant(c);
      end = ++p;
    } else if (c == '-' && p > start && isLetter(at(text, p - 1))) {
      ++p;
    } else {
      break;
    }
  }
  pos = end;
  const std::string_view word = text.substr(start, end - start);
  if (!allConsonants) return std::string(word);
  if (at(text, end) == '.' && !abbreviations.lookupAbbreviation(word).empty())
    return std::string(word);
  std::string out;
  for (const char c : word) out += characterName(static_cast<unsigned char>(c));
  return out;
}

std::string normalizeText(std::string_view input, const AbbreviationTable& abbreviations) {
  std::string single;
  std::string_view text = input;
  if (text.size() == 1) {
    single = characterName(static_cast<unsigned char>(text[0]));
    text = single;
  }
  std::string out;
  out.reserve(text.size() * 2);
  std::size_t p = 0;
  while (p < text.size()) {
    const unsigned char c = at(text, p);
    const unsigned char next = at(text, p + 1);
    const bool hasNext = p + 1 < text.size();
    if (c == '-' && p > 0 && at(text, p - 1) == ' ' && next == ' ') {
      out += ',';
      ++p;
    } else if (c == '-' && isDigit(next)) {
      separateFromWord(out);
      out += "menos ";
      ++p;
    } else if (isDigit(c)) {
      separateFromWord(out);
      out += readNumber(text, p);
      out += ' ';
      while (p + 1 < text.size() && (text[p] == ',' || text[p] == '.') &&
             isDigit(at(text, p + 1))) {
        out += text[p] == ',' ? fromSource("vírgula ") : std::string("ponto ");
        ++p;
        out += readNumber(text, p);
        out += ' ';
      }
    } else if (isLetter(c)) {
      const std::size_t start = p;
      const std::string word = readWord(text, p, abbreviations);
      std::string expansion;
      if (at(text, p) == '.' && at(text, p + 1) == ' ' && p + 1 < text.size()) {
        expansion = abbreviations.lookupAbbreviation(word);
      }
      if (expansion.empty() && (at(text, p) == 0xBA || at(text, p) == 0xAA)) {
        // "nº", "nª": the table holds the word with its ordinal sign.
        expansion = abbreviations.lookupAbbreviation(text.substr(start, p + 1 - start));
      }
      if (!expansion.empty()) {
        out += expansion;
        ++p;
      } else {
        out += word;
      }
    } else if (text.substr(p).starts_with("...")) {
      out += "... ";
      p += 3;
    } else if (c == '.' && hasNext && next != ' ') {
      out += " ponto ";
      ++p;
    } else if (isKeptMark(c)) {
      out += static_cast<char>(c);
      ++p;
    } else if (c == 9 || c == 10 || c == 13) {
      ++p;
    } else {
      out += ' ';
      out += characterName(c);
      out += ' ';
      ++p;
    }
  }
  return out;
}

}  // namespace lamina::mbrola_tts

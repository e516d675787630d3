#include "numbers/number_words.h"

#include <array>

namespace lamina::numbers {
namespace {

constexpr std::array<std::string_view, 10> kUnitWords = {"zero",  "um",   "dois", "tres", "quatro",
                                                         "cinco", "seis", "sete", "oito", "nove"};
constexpr std::array<std::string_view, 10> kTeenWords = {
    "dez",    "onze",      "doze",      "treze",   "quatorze",
    "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
constexpr std::array<std::string_view, 10> kTenWords = {
    "",          "",         "vinte",   "trinta",  "quarenta",
    "cinquenta", "sessenta", "setenta", "oitenta", "noventa"};
constexpr std::array<std::string_view, 10> kHundredWords = {
    "cem",        "cento",      "duzentos",   "trezentos",  "quatrocentos",
    "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
// Code page 1252: trilh\xE3o = trilhão, trilh\xF5es = trilhões.
constexpr std::array<std::string_view, 5> kScaleSingular = {"trilh\xE3o ", "bilh\xE3o ",
                                                            "milh\xE3o ", "mil ", ""};
constexpr std::array<std::string_view, 5> kScalePlural = {
    "trilh\xF5"
    "es ",
    "bilh\xF5"
    "es ",
    "milh\xF5"
    "es ",
    "mil ", ""};

constexpr std::string_view kInnerJoiner = " e ";
constexpr std::string_view kGroupJoiner = "e ";

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string groupToWords(std::string_view group, bool& innerJoined) {
  innerJoined = false;
  if (group.size() != 3 || !isDigit(group[0]) || !isDigit(group[1]) || !isDigit(group[2])) {
    return {};
  }
  if (group == "000") return {};
  if (group == "100") return "cem";
  const int h = group[0] - '0';
  const int t = group[1] - '0';
  const int u = group[2] - '0';
  std::string words;
  if (h != 0) {
    words = kHundredWords[static_cast<std::size_t>(h)];
    if (t == 0 && u == 0) return words;
    words += kInnerJoiner;
    innerJoined = true;
  }
  if (t == 1) return words + std::string(kTeenWords[static_cast<std::size_t>(u)]);
  if (t >= 2) {
    words += kTenWords[static_cast<std::size_t>(t)];
    if (u == 0) return words;
    words += kInnerJoiner;
    innerJoined = true;
  }
  if (u != 0) words += kUnitWords[static_cast<std::size_t>(u)];
  return words;
}

std::string groupToWords(std::string_view group) {
  bool joined = false;
  return groupToWords(group, joined);
}

std::string groupWithScale(std::string_view digits15, int index, bool& innerJoined) {
  innerJoined = false;
  if (digits15.size() != 15 || index < 0 || index > 4) return {};
  const std::string_view group = digits15.substr(static_cast<std::size_t>(index) * 3, 3);
  std::string words = groupToWords(group, innerJoined);
  const auto i = static_cast<std::size_t>(index);
  if (!kScaleSingular[i].empty() && !words.empty()) {
    words += ' ';
    words += group == "001" ? kScaleSingular[i] : kScalePlural[i];
  }
  return words;
}

std::string groupWithScale(std::string_view digits15, int index) {
  bool joined = false;
  return groupWithScale(digits15, index, joined);
}

std::string numberToWords(std::int32_t value) {
  if (value < 0) return {};
  if (value == 0) return "zero";
  std::string digits = std::string(14, '0') + std::to_string(value);
  digits = digits.substr(digits.size() - 15);

  std::array<std::string, 5> groups;
  std::array<bool, 5> joined{};
  int last = -1;
  for (int i = 0; i < 5; ++i) {
    const auto k = static_cast<std::size_t>(i);
    groups[k] = groupWithScale(digits, i, joined[k]);
    if (!groups[k].empty()) last = i;
  }
  std::string words;
  for (int i = 0; i <= last; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (i == last && !words.empty() && !joined[k]) words += kGroupJoiner;
    words += groups[k];
  }
  // One thousand is "mil", never "um mil"; "um milhão" stays.
  if (words.starts_with("um mil") && !words.starts_with("um milh")) words.erase(0, 3);
  return words;
}

}  // namespace lamina::numbers

#pragma once
// How the names of the diphone database map to eSpeak NG phonemes, and the
// index file the database is looked up through.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lamina::voicedata {

// eSpeak NG phoneme mnemonics (Portuguese table) for a unit name such as
// "$KA", "$ACIRC", "$AWTIL" or "$NN". Empty when the name holds a letter that
// is no phoneme of ours.
std::string espeakPhonemesForUnit(std::string_view unitName);

struct UnitEntry {
  std::string name;  // upper case, at most 8 characters
  std::vector<std::uint8_t> samples;
};

// Length-prefixed comparison: byte by byte, a prefix sorts first.
bool unitNameLess(std::string_view a, std::string_view b);

// Sorts the units and lays out the index (15-byte records) and the raw data
// file. Units whose name is longer than 8 characters, or whose data does not
// fit the record's 16-bit length, are left out and named in `skipped`.
struct DatabaseFiles {
  std::vector<std::uint8_t> index;
  std::vector<std::uint8_t> data;
  std::vector<std::string> skipped;
};
DatabaseFiles layOutDatabase(std::vector<UnitEntry> units);

}  // namespace lamina::voicedata

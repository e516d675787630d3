#pragma once
// The database units that speaking a phonetic text looks up, in the order
// the speaker asks for them. The voice-data builder and the tests use it to
// know which units the letter rules need.
#include <string>
#include <string_view>
#include <vector>

namespace lamina::diphone {

// Index names (upper-cased) as the speaker's own cutter names them, with
// the default pauses. Recorded character sounds ("_" + code) are not units
// and are left out. A name longer than the index's 8 characters can never
// be found, so the shorter names the speaker falls back to stand in its
// place; names that fit are taken as present.
std::vector<std::string> unitNames(std::string_view phonetic);

}  // namespace lamina::diphone

#include "diphone/unit_names.h"

#include <utility>

#include "diphone/database.h"
#include "diphone/unit_cutter.h"

namespace lamina::diphone {
namespace {

class NameCollector final : public UnitSink {
 public:
  explicit NameCollector(std::vector<std::string>& out) : out_(out) {}

  void speakDiphone(std::string_view name, bool stressed, double factor) override {
    if (name.starts_with('_')) return;
    if (name.size() <= kMaxUnitName) {
      std::string upper(name);
      // The index is searched with ASCII upper-casing only.
      for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      }
      out_.push_back(std::move(upper));
      return;
    }
    for (const FallbackUnit& unit : fallbackUnits(name, stressed, factor)) {
      speakDiphone(unit.name, unit.stressed, unit.factor);
    }
  }
  void addSilence(int /*bytes*/) override {}

 private:
  std::vector<std::string>& out_;
};

}  // namespace

std::vector<std::string> unitNames(std::string_view phonetic) {
  std::vector<std::string> out;
  NameCollector collect(out);
  const SynthesisSettings settings;
  UnitCutter cutter(settings, collect);
  cutter.cutPhonetic(phonetic, false);
  return out;
}

}  // namespace lamina::diphone

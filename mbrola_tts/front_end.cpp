#include "mbrola_tts/front_end.h"

#include "mbrola_tts/normalize.h"
#include "mbrola_tts/text_lines.h"

namespace lamina::mbrola_tts {

LanguageFiles LanguageFiles::inFolder(const std::filesystem::path& folder) {
  return {folder / "portug.nrl", folder / "portug.exc", folder / "portug.abr",
          folder / "portug.pro", folder / "portug.dfn"};
}

std::string loadFailureMessage(LoadResult result) {
  switch (result) {
    case LoadResult::languageError:
      return fromSource("Erro na base de dados de português");
    case LoadResult::abbreviationError:
      return fromSource("Erro no arquivo de abreviaturas");
    case LoadResult::prosodyError:
      return fromSource("Erro no arquivo de prosódia");
    case LoadResult::ok:
      break;
  }
  return {};
}

bool MbrolaFrontEnd::loadLanguageFiles(const std::filesystem::path& rulesFile,
                                       const std::filesystem::path& exceptionsFile) {
  exceptions.clear();
  if (!rules.loadRules(rulesFile)) return false;
  return exceptions.loadExceptions(exceptionsFile);
}

LoadResult MbrolaFrontEnd::load(const LanguageFiles& files, MessageReporter& reporter) {
  if (!loadLanguageFiles(files.rules, files.exceptions)) return LoadResult::languageError;
  if (!abbreviations.loadAbbreviations(files.abbreviations)) return LoadResult::abbreviationError;
  if (!prosody.loadProsody(files.prosody, reporter)) return LoadResult::prosodyError;
  if (!diphones.loadDiphoneList(files.diphones)) return LoadResult::prosodyError;
  return LoadResult::ok;
}

std::string MbrolaFrontEnd::normalize(std::string_view text) const {
  return normalizeText(text, abbreviations);
}

std::vector<std::string> MbrolaFrontEnd::phonemeLines(std::string_view text) const {
  const std::vector<std::string> tokens =
      tokenizePhrase(normalizeText(text, abbreviations), prosody);
  return transcribePhrase(markIntonation(tokens, prosody), rules, exceptions);
}

std::vector<std::string> MbrolaFrontEnd::textToMbrola(std::string_view text, double pitchFactor,
                                                      double speedFactor) const {
  return buildMbrolaLines(phonemeLines(text), pitchFactor, speedFactor, prosody, diphones);
}

}  // namespace lamina::mbrola_tts

#include "presentation/reader.h"

namespace lamina::presentation {

std::string_view resultText(OpenResult result) {
  switch (result) {
    case OpenResult::ok:
      return "opened";
    case OpenResult::notPresentation:
      return "not a presentation";
    case OpenResult::corrupt:
      return "damaged presentation";
    case OpenResult::encrypted:
      return "password-protected presentation";
    case OpenResult::oldFormat:
      return "PowerPoint 95 or older format";
    case OpenResult::tooLarge:
      return "more text than a presentation may hold";
  }
  return "unknown open result";
}

}  // namespace lamina::presentation

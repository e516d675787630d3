#pragma once
// OpenDocument presentations (.odp, .otp templates, flat .fodp): a zip
// package whose content.xml holds the slides, or the same XML as one file.
// Which of the two a file is, its content decides.
#include <cstdint>
#include <span>
#include <string_view>

#include "presentation/document.h"

namespace lamina::presentation {

ReadOutcome readOdfFile(std::string_view fileName);
ReadOutcome readOdfMemory(std::span<const std::uint8_t> bytes);

}  // namespace lamina::presentation

#pragma once
// Office Open XML presentations (.pptx, .ppsx, .pptm, .ppsm, .potx): a zip
// package whose presentation part lists the slides in order.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "presentation/document.h"

namespace lamina::presentation {

ReadOutcome readOoxmlFile(std::string_view fileName);
ReadOutcome readOoxmlMemory(std::span<const std::uint8_t> bytes);

// A part name relative to the folder of the part that refers to it
// ("../slides/slide1.xml" from "ppt/" gives "ppt/slides/slide1.xml");
// empty when it climbs out of the package.
std::string resolvePartName(std::string_view baseFolder, std::string_view target);

}  // namespace lamina::presentation

#pragma once
// The binary presentation format (.ppt, .pps, .pot): a compound file whose
// "PowerPoint Document" stream holds the records, found through the current
// user's last edit and its chain of persist directories.
#include <cstdint>
#include <span>
#include <string_view>

#include "presentation/byte_source.h"
#include "presentation/document.h"

namespace lamina::presentation {

ReadOutcome readPptFile(std::string_view fileName);
ReadOutcome readPptMemory(std::span<const std::uint8_t> bytes);

// The record layer alone, over the two streams; currentUser may be null when
// the compound file has none.
ReadOutcome readPptStreams(ByteSource& document, ByteSource* currentUser);

// Legacy shape types and flags that have no text frame in the object model.
bool pptShapeHasTextFrame(unsigned shapeType, std::uint32_t flags);

}  // namespace lamina::presentation

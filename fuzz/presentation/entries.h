#pragma once
// The presentation fuzzers' entries, shared with the test that replays the
// crash inputs kept under tests/presentation/regressions/. Each returns false
// when the reader handed out a document that breaks its own invariants.
#include <cstddef>
#include <cstdint>
#include <span>

#include "presentation/document.h"
#include "presentation/odf_reader.h"
#include "presentation/ooxml_reader.h"
#include "presentation/ppt_reader.h"

namespace lamina::presentation::fuzzing {

// Every member a reader hands out must name a shape of the document, and
// every damaged slide an empty slide of it.
inline bool sound(const ReadOutcome& outcome) {
  const Document& document = outcome.document;
  for (const auto& shape : document.shapes) {
    for (auto member : shape.members) {
      if (member >= document.shapes.size()) return false;
    }
  }
  for (int slide : document.damagedSlides) {
    if (slide < 1 || static_cast<std::size_t>(slide) > document.slides.size() ||
        !document.slides[static_cast<std::size_t>(slide - 1)].empty()) {
      return false;
    }
  }
  return outcome.result != OpenResult::ok || document.textUnits <= kMaxTextUnits;
}

// Binary presentations straight from bytes: the compound file, then records.
inline bool readPpt(std::span<const std::uint8_t> data) {
  return sound(readPptMemory(data));
}

// The record layer without the compound file, which the fuzzer cannot see
// into: the input is a 2-byte length, the current user stream, then the
// document stream.
inline bool readPptRecords(std::span<const std::uint8_t> data) {
  if (data.size() < 2) return true;
  const std::size_t userSize = static_cast<std::size_t>(data[0] | (data[1] << 8));
  if (userSize > data.size() - 2) return true;
  MemorySource user(data.subspan(2, userSize));
  MemorySource document(data.subspan(2 + userSize));
  return sound(readPptStreams(document, &user));
}

// Office Open XML packages straight from bytes: zip, relationships, slides.
inline bool readOoxml(std::span<const std::uint8_t> data) {
  return sound(readOoxmlMemory(data));
}

// OpenDocument from bytes: a package, or a flat document when it is XML.
inline bool readOdf(std::span<const std::uint8_t> data) {
  return sound(readOdfMemory(data));
}

}  // namespace lamina::presentation::fuzzing

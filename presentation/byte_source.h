#pragma once
// Random access to a stream of bytes, so the readers take only the records
// they need and never load pictures or embedded media.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/riff.h"

namespace lamina::presentation {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Fills out from offset; false when the range is not wholly inside.
  virtual bool read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool read(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// Little-endian fields of a record body.
using riff::le16;
using riff::le32;

}  // namespace lamina::presentation

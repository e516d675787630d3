#pragma once
// Random access to a stream of bytes, so the readers take only the records
// they need and never load pictures or embedded media.
#include <cstdint>
#include <span>
#include <vector>

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
inline std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

}  // namespace lamina::presentation

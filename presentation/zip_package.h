#pragma once
// A zip package read one member at a time, with the bounds every reader of
// untrusted packages needs: member size, inflation ratio, total inflated
// bytes and number of entries.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct zip;

namespace lamina::presentation {

class ZipPackage {
 public:
  // A member larger than this is no slide anyone wrote; a member that
  // inflates far beyond its stored size is a zip bomb.
  static constexpr std::uint64_t kMaxPartSize = 64u << 20;
  static constexpr std::uint64_t kMaxRatio = 200;
  static constexpr std::uint64_t kRatioFloor = 1u << 20;
  static constexpr std::int64_t kMaxEntries = 1 << 16;
  // Many slides may name the same large member; the whole package is bounded.
  static constexpr std::uint64_t kMaxInflated = 1u << 30;

  // Opens a file or bytes in memory (which must outlive the package); check
  // isOpen(), which is false for anything but a readable zip within bounds.
  static ZipPackage openFile(std::string_view fileName);
  static ZipPackage openMemory(std::span<const std::uint8_t> bytes);

  ZipPackage(ZipPackage&&) noexcept;
  ZipPackage& operator=(ZipPackage&&) noexcept;
  ~ZipPackage();

  bool isOpen() const { return zip_ != nullptr; }
  bool has(const std::string& name) const;
  // The bytes of a member; nullopt when missing, unreadable or over the
  // bounds (the last two also set damaged()).
  std::optional<std::string> member(const std::string& name);
  bool damaged() const { return damaged_; }

 private:
  struct Closer {
    void operator()(zip* z) const;
  };
  explicit ZipPackage(zip* archive);
  std::int64_t locate(const std::string& name) const;
  std::nullopt_t refuse();

  std::unique_ptr<zip, Closer> zip_;
  std::uint64_t inflated_ = 0;
  bool damaged_ = false;
};

}  // namespace lamina::presentation

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

// What reading one member came to. An unreadable member is damage confined to
// that member; a member over the bounds marks the whole package as hostile.
enum class MemberResult { ok, missing, unreadable, overBounds };
std::string_view resultText(MemberResult result);

// Whether a member name may match one that differs only in letter case.
enum class NameMatch { exact, anyCase };

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
  // Reads a member into out (left empty unless ok). With anyCase, a name no
  // member matches exactly may match one ignoring case.
  MemberResult read(const std::string& name, std::string& out, NameMatch match = NameMatch::exact);
  // The bytes of a member; nullopt when missing, unreadable or over the
  // bounds (the last two also set damaged()).
  std::optional<std::string> member(const std::string& name);
  bool damaged() const { return damaged_; }

 private:
  struct Closer {
    void operator()(zip* z) const;
  };
  explicit ZipPackage(zip* archive);
  std::int64_t locate(const std::string& name, NameMatch match) const;
  MemberResult readIndex(std::uint64_t at, std::string& out);

  std::unique_ptr<zip, Closer> zip_;
  std::uint64_t inflated_ = 0;
  bool damaged_ = false;
};

}  // namespace lamina::presentation

#include "presentation/zip_package.h"

#include <zip.h>

#include <algorithm>

#include "platform/log.h"

namespace lamina::presentation {

namespace {

struct FileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

void logZipError(const std::string& what, int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  platform::logInfo("libzip", "cannot open " + what + ": " + zip_error_strerror(&error));
  zip_error_fini(&error);
}

}  // namespace

std::string_view resultText(MemberResult result) {
  switch (result) {
    case MemberResult::ok:
      return "read";
    case MemberResult::missing:
      return "no such member";
    case MemberResult::unreadable:
      return "unreadable member";
    case MemberResult::overBounds:
      return "member over the size bounds";
  }
  return "unknown member result";
}

void ZipPackage::Closer::operator()(zip* z) const {
  zip_discard(z);
}

ZipPackage::ZipPackage(zip* archive) : zip_(archive) {
  if (zip_ && zip_get_num_entries(zip_.get(), 0) > kMaxEntries) zip_.reset();
}
ZipPackage::ZipPackage(ZipPackage&&) noexcept = default;
ZipPackage& ZipPackage::operator=(ZipPackage&&) noexcept = default;
ZipPackage::~ZipPackage() = default;

ZipPackage ZipPackage::openFile(std::string_view fileName) {
  int error = 0;
  zip_t* archive = zip_open(std::string(fileName).c_str(), ZIP_RDONLY, &error);
  if (!archive) logZipError(std::string(fileName), error);
  return ZipPackage(archive);
}

ZipPackage ZipPackage::openMemory(std::span<const std::uint8_t> bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  if (source && !archive) zip_source_free(source);
  if (!archive) logZipError("a package in memory", zip_error_code_zip(&error));
  zip_error_fini(&error);
  return ZipPackage(archive);
}

std::int64_t ZipPackage::locate(const std::string& name, NameMatch match) const {
  if (!zip_) return -1;
  zip_int64_t index = zip_name_locate(zip_.get(), name.c_str(), 0);
  if (index < 0 && match == NameMatch::anyCase) {
    index = zip_name_locate(zip_.get(), name.c_str(), ZIP_FL_NOCASE);
  }
  return index;
}

bool ZipPackage::has(const std::string& name) const {
  return locate(name, NameMatch::exact) >= 0;
}

MemberResult ZipPackage::read(const std::string& name, std::string& out, NameMatch match) {
  out.clear();
  const std::int64_t index = locate(name, match);
  if (index < 0) return MemberResult::missing;
  const MemberResult result = readIndex(static_cast<std::uint64_t>(index), out);
  if (result != MemberResult::ok) out.clear();
  return result;
}

MemberResult ZipPackage::readIndex(std::uint64_t at, std::string& out) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip_.get(), at, 0, &st) != 0) return MemberResult::unreadable;
  if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxPartSize) return MemberResult::overBounds;
  if ((st.valid & ZIP_STAT_SIZE) && (st.valid & ZIP_STAT_COMP_SIZE) && st.size > kRatioFloor &&
      st.size / std::max<zip_uint64_t>(st.comp_size, 1) > kMaxRatio) {
    return MemberResult::overBounds;
  }
  std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(zip_.get(), at, 0));
  if (!file) return MemberResult::unreadable;
  // The sizes in the directory are the writer's word; the inflated bytes are
  // counted as they come.
  char buffer[16384];
  while (true) {
    const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
    if (n < 0) return MemberResult::unreadable;
    if (n == 0) break;
    const auto got = static_cast<std::uint64_t>(n);
    if (out.size() + got > kMaxPartSize) return MemberResult::overBounds;
    inflated_ += got;
    if (inflated_ > kMaxInflated) return MemberResult::overBounds;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return MemberResult::ok;
}

std::optional<std::string> ZipPackage::member(const std::string& name) {
  std::string out;
  const MemberResult result = read(name, out);
  if (result == MemberResult::ok) return out;
  if (result != MemberResult::missing) damaged_ = true;
  return std::nullopt;
}

}  // namespace lamina::presentation

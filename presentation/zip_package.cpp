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

std::int64_t ZipPackage::locate(const std::string& name) const {
  if (!zip_) return -1;
  return zip_name_locate(zip_.get(), name.c_str(), 0);
}

bool ZipPackage::has(const std::string& name) const {
  return locate(name) >= 0;
}

std::nullopt_t ZipPackage::refuse() {
  damaged_ = true;
  return std::nullopt;
}

std::optional<std::string> ZipPackage::member(const std::string& name) {
  const std::int64_t index = locate(name);
  if (index < 0) return std::nullopt;
  const auto at = static_cast<zip_uint64_t>(index);
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip_.get(), at, 0, &st) != 0) return refuse();
  if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxPartSize) return refuse();
  if ((st.valid & ZIP_STAT_SIZE) && (st.valid & ZIP_STAT_COMP_SIZE) && st.size > kRatioFloor &&
      st.size / std::max<zip_uint64_t>(st.comp_size, 1) > kMaxRatio) {
    return refuse();
  }
  std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(zip_.get(), at, 0));
  if (!file) return refuse();
  // The sizes in the directory are the writer's word; the inflated bytes are
  // counted as they come.
  std::string out;
  char buffer[16384];
  while (true) {
    const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
    if (n < 0) return refuse();
    if (n == 0) break;
    const auto got = static_cast<std::uint64_t>(n);
    if (out.size() + got > kMaxPartSize) return refuse();
    inflated_ += got;
    if (inflated_ > kMaxInflated) return refuse();
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace lamina::presentation

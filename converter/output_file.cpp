#include "converter/output_file.h"

#include <cerrno>
#include <memory>
#include <random>
#include <string>
#include <system_error>

namespace lamina::converter {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Creates a new file beside target that did not exist before ("x" mode), so
// a temporary name can never clobber someone else's file.
FilePtr createTemporary(const std::filesystem::path& target, std::filesystem::path& name) {
  std::random_device random;
  const std::filesystem::path dir = target.parent_path();
  for (int attempt = 0; attempt < 32; ++attempt) {
    const std::string leaf =
        "." + target.filename().string() + "." + std::to_string(random() % 1000000u) + ".tmp";
    name = dir.empty() ? std::filesystem::path(leaf) : dir / leaf;
    if (std::FILE* f = std::fopen(name.c_str(), "wbx")) return FilePtr(f);
    if (errno != EEXIST) break;
  }
  return nullptr;
}

}  // namespace

bool FileSink::write(std::string_view bytes) {
  if (failed_) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    failed_ = true;
  }
  return !failed_;
}

ConvertResult convertToFile(Converter& converter, std::string_view inputName,
                            const std::filesystem::path& target, bool utf8,
                            std::string_view fileName) {
  std::filesystem::path temporary;
  FilePtr file = createTemporary(target, temporary);
  if (!file) return ConvertResult::writeError;
  FileSink sink(file.get());
  converter.setUtf8(utf8);
  ConvertResult result = converter.convertPresentation(inputName, sink, fileName);
  if (written(result) && (sink.failed() || std::fflush(file.get()) != 0)) {
    result = ConvertResult::writeError;
  }
  const bool closed = std::fclose(file.release()) == 0;
  if (written(result) && !closed) result = ConvertResult::writeError;
  std::error_code error;
  if (written(result)) {
    std::filesystem::rename(temporary, target, error);
    if (!error) return result;
    result = ConvertResult::writeError;
  }
  std::filesystem::remove(temporary, error);
  return result;
}

}  // namespace lamina::converter

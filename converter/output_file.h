#pragma once
// Writing the text file safely: the text goes into a temporary file beside
// the target, which replaces the target only after a successful conversion,
// so a failure never destroys an existing file.
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "converter/convert.h"

namespace lamina::converter {

// A sink over a C stream.
class FileSink final : public OutputSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool write(std::string_view bytes) override;
  bool failed() const { return failed_; }

 private:
  std::FILE* file_;
  bool failed_ = false;
};

// Converts inputName into target, in UTF-8 when utf8 is set. fileName is the
// input's name in the file system (empty: inputName as UTF-8). The target is
// written when the result is ok or damagedSlides.
ConvertResult convertToFile(Converter& converter, std::string_view inputName,
                            const std::filesystem::path& target, bool utf8,
                            std::string_view fileName = {});

}  // namespace lamina::converter

#pragma once
// Writing the text file safely: the text goes into a temporary file beside
// the target, which replaces the target only after a successful conversion,
// so a failure never destroys an existing file.
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "converter/convert.h"

namespace lamina::converter {

// A sink over a C stream; converts the cp1252 bytes to UTF-8 when asked.
class FileSink final : public OutputSink {
 public:
  FileSink(std::FILE* file, bool utf8) : file_(file), utf8_(utf8) {}
  bool write(std::string_view bytes) override;
  bool failed() const { return failed_; }

 private:
  std::FILE* file_;
  bool utf8_;
  bool failed_ = false;
};

// Converts inputName into target. fileName is the input's name in the file
// system (empty: inputName as UTF-8).
ConvertResult convertToFile(Converter& converter, std::string_view inputName,
                            const std::filesystem::path& target, bool utf8,
                            std::string_view fileName = {});

}  // namespace lamina::converter

#include "converter/batch.h"

#include <iostream>
#include <system_error>
#include <vector>

#include "converter/output_file.h"
#include "platform/cp1252.h"
#include "presentation/native_reader.h"

namespace lamina::converter {

namespace {

constexpr std::string_view kUsage = "uso: lamina --batch ARQUIVO... [-o SAIDA] [--utf8]\n";

// A name that is not valid UTF-8 was most likely written in code page 1252.
std::string headerName(std::string_view systemName) {
  return validUtf8(systemName) ? cp1252::fromUtf8(systemName) : std::string(systemName);
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

std::string completeInputName(std::string_view name,
                              const std::filesystem::path& currentDirectory) {
  if (name.find('/') != std::string_view::npos) return std::string(name);
  return currentDirectory.string() + "/" + std::string(name);
}

int runBatch(std::span<const std::string_view> args, presentation::PresentationReader& reader,
             std::ostream& errors, const std::filesystem::path& currentDirectory) {
  std::vector<std::string_view> inputs;
  std::string_view output;
  bool utf8 = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size() || !output.empty()) {
        errors << kUsage;
        return 1;
      }
      output = args[++i];
    } else if (args[i] == "--utf8") {
      utf8 = true;
    } else {
      inputs.push_back(args[i]);
    }
  }
  if (inputs.empty() || (!output.empty() && inputs.size() != 1)) {
    errors << kUsage;
    return 1;
  }

  SilentConsole console;
  Converter converter(reader, console);
  int status = 0;
  for (std::string_view input : inputs) {
    const std::string completed = completeInputName(input, currentDirectory);
    const std::filesystem::path target =
        output.empty() ? std::filesystem::path(completed + ".TXT") : std::filesystem::path(output);
    std::error_code error;
    if (!std::filesystem::is_regular_file(completed, error)) {
      errors << "lamina: " << input << ": arquivo inexistente\n";
      status = 1;
      continue;
    }
    if (sameFile(completed, target)) {
      errors << "lamina: " << input
             << ": a sa\xC3\xAD"
                "da seria o pr\xC3\xB3prio arquivo\n";
      status = 1;
      continue;
    }
    const ConvertResult result =
        convertToFile(converter, headerName(completed), target, utf8, completed);
    if (result == ConvertResult::damagedSlides) {
      errors << "lamina: " << input << ": " << damagedSlidesText(converter.damagedSlides()) << "\n";
      status = 1;
    } else if (result != ConvertResult::ok) {
      errors << "lamina: " << input << ": " << resultText(result) << "\n";
      status = 1;
    }
  }
  converter.releaseState();
  return status;
}

int runBatch(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int i = 2; i < argc; ++i) args.emplace_back(argv[i]);
  presentation::NativeReader reader;
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return runBatch(args, reader, std::cerr, current);
}

}  // namespace lamina::converter

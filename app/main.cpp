// lamina: converts a presentation into a plain text file, talking.
#include <string_view>

#include "converter/batch.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "--batch") {
    return lamina::converter::runBatch(argc, argv);
  }
  return 0;
}

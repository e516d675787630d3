// lamina: converts a presentation into a plain text file, talking.
#include <string_view>

int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  return 0;
}

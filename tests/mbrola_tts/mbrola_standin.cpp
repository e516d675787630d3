// Stands in for the MBROLA program in the tests: `mbrola_standin -e DB - -.raw`
// reads input lines on standard input and writes, for each phoneme line, its
// duration of a 16-bit 16000 Hz tone at the line's last pitch (120 Hz when
// none) on standard output. DB must be a file, as the program's database must.
// LAMINA_STANDIN_MODE chooses how it misbehaves at the comment line of the
// word "bomba": crash (ends at once), hang (stops reading and writing),
// garbage (half a sample, then bytes without end), odd (half a sample, then
// as before); normal or unset: it does not.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

void tone(double ms, double hz) {
  static double phase = 0;
  const auto n = static_cast<long>(ms * 16);
  std::vector<std::int16_t> out(static_cast<std::size_t>(std::max(n, 0L)));
  for (auto& s : out) {
    s = static_cast<std::int16_t>(8000 * std::sin(phase));
    phase += 2 * 3.14159265358979 * hz / 16000;
  }
  std::fwrite(out.data(), 2, out.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::error_code ec;
  if (argc != 5 || std::strcmp(argv[1], "-e") != 0 ||
      !std::filesystem::is_regular_file(argv[2], ec)) {
    return 1;
  }
  const char* env = std::getenv("LAMINA_STANDIN_MODE");
  const std::string mode = env != nullptr ? env : "normal";
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind(";bomba", 0) == 0) {
      if (mode == "crash") std::_Exit(70);
      if (mode == "hang") {
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
      }
      if (mode == "garbage" || mode == "odd") {
        std::fputc(0x55, stdout);
        std::fflush(stdout);
      }
      if (mode == "garbage") {
        const std::vector<char> flood(65536, 0x33);
        for (;;) std::fwrite(flood.data(), 1, flood.size(), stdout);
      }
      continue;
    }
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    double ms = 0;
    if (!(fields >> name >> ms)) continue;
    double position = 0;
    double hz = 120;
    while (fields >> position >> hz) {
    }
    tone(ms, hz);
  }
  return 0;
}

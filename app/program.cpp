#include "app/program.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "chooser/chooser.h"
#include "converter/sequence.h"
#include "diphone/database.h"
#include "diphone/letter_rules.h"
#include "mbrola_tts/mbrola_engine.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/sdl_audio.h"
#include "platform/sdl_tone_sound.h"
#include "platform/sdl_window.h"
#include "platform/terminal_window.h"
#include "presentation/native_reader.h"
#include "sapi/espeak_engine.h"
#include "sapi/speech_dispatcher_engine.h"
#include "speech/help_target.h"
#include "speech/line_editor.h"
#include "speech/screen_review.h"
#include "speech/speech_front.h"
#include "wave/wave_player.h"

namespace lamina::app {

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::filesystem::path& into) {
      if (i + 1 < argc) {
        into = argv[++i];
      } else {
        options.error = std::string(arg) + " needs a file name";
      }
    };
    if (arg == "--demo-console") {
      options.demo = true;
    } else if (arg == "--console=headless") {
      options.console = Options::ConsoleKind::Headless;
    } else if (arg == "--console=sdl") {
      options.console = Options::ConsoleKind::Sdl;
    } else if (arg == "--console=terminal") {
      options.console = Options::ConsoleKind::Terminal;
    } else if (arg == "--screen-dump") {
      value(options.screenDump);
    } else if (arg == "--key-log") {
      value(options.keyLog);
    } else if (arg == "--log") {
      value(options.logFile);
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg.starts_with("--")) {
      options.error = "unknown option " + std::string(arg);
    } else if (options.inputFile.empty()) {
      options.inputFile = std::string(arg);
    } else {
      options.error = "only one presentation can be named";
    }
  }
  return options;
}

void ConsoleDeviceErrors::showAndWaitEnter(std::string_view text) {
  // The console's write shows the text before it returns.
  if (!text.empty()) console_.write(text);
  console_.readLine();
}

Program::Program(const Options& options, std::unique_ptr<platform::WaveOutDevice> waveOut)
    : waveOut_(std::move(waveOut)) {
  // A quit by signal ends the program as the window's quit message does:
  // through the console, with its exit code.
  signals_ = std::make_unique<platform::QuitSignals>([this] {
    platform::Message quit;
    quit.type = platform::MessageType::Quit;
    if (platform::WindowBackend* target = quitTarget_.load()) {
      target->postMessage(quit);
    } else {
      // Before the console has a queue there is nothing to end in order.
      std::_Exit(console::kBreakExitCode);
    }
  });
  using Kind = Options::ConsoleKind;
  // Without a display, a person at a text terminal gets the console there.
  // SDL is not even asked then: on a virtual console it could take the
  // whole screen away from a Braille display.
  const bool atTerminal =
      options.console == Kind::Automatic && platform::standardStreamsAreTerminal();
  const bool display =
      std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  if (options.console == Kind::Sdl ||
      (options.console == Kind::Automatic && (display || !atTerminal)))
    window_ = platform::createSdlWindowBackend();
  const bool terminalWanted = options.console == Kind::Terminal || atTerminal;
  if (!window_ && terminalWanted) {
    window_ = platform::createTerminalWindowBackend();
    // Standard error would write over the screen: problems are logged only
    // where --log or LAMINA_LOG sends them.
    if (window_ && options.logFile.empty() && std::getenv("LAMINA_LOG") == nullptr &&
        platform::standardErrorIsTerminal()) {
      platform::processLog().setLevel(platform::LogLevel::off);
    }
  }
  if (window_) {
    quitTarget_ = window_.get();
  } else {
    if (options.console == Kind::Sdl) {
      platform::logWarning("app", "no display; using the headless console");
    } else if (options.console == Kind::Terminal) {
      platform::logWarning("app", "no terminal; using the headless console");
    }
    makeHeadless(options.keyScript);
  }
  tones_ = std::make_unique<platform::SdlToneSound>();

  console::ConsoleOptions consoleOptions;
  consoleOptions.iniFile = paths::oralisIni();
  consoleOptions.caption = cp1252::fromUtf8(paths::programFile().string());
  consoleOptions.screenDump = options.screenDump;
  consoleOptions.terminate = [](int code) {
    // Not fflush(nullptr): that waits for the lock of standard input, which
    // the key script reader holds while it waits for a line.
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(code);
  };
  std::istream* keyScript = options.keyScript;
  consoleOptions.fallbackWindow = [this, keyScript]() -> platform::WindowBackend* {
    if (headless_ != nullptr) return nullptr;
    std::fprintf(stderr,
                 "lamina: the console window cannot be created; keys are read from standard "
                 "input\n");
    return makeHeadless(keyScript);
  };
  platform::WindowBackend& backend = window_ ? *window_ : *fallback_;
  console_ = std::make_unique<console::Console>(backend, *tones_, consoleOptions);
  if (!waveOut_) waveOut_ = std::make_unique<platform::SdlWaveOut>();
  deviceErrors_ = std::make_unique<ConsoleDeviceErrors>(*console_);
  player_ = std::make_unique<wave::WavePlayer>(*waveOut_, *console_, *deviceErrors_);
}

// The player goes first: it stops the device, which then goes before the
// console that carried its notices.
Program::~Program() {
  player_.reset();
  waveOut_.reset();
}

platform::HeadlessWindow* Program::makeHeadless(std::istream* keyScript) {
  fallback_ = std::make_unique<platform::HeadlessWindow>();
  // Keys come from a script (standard input, line by line), so a person or
  // a test can type while the program runs. Nothing can wake a read of
  // standard input, so the reader is left to end with the process.
  if (keyScript != nullptr) fallback_->startScriptReader(*keyScript).detach();
  headless_ = fallback_.get();
  quitTarget_ = headless_;
  return headless_;
}

namespace {

void logKey(std::ofstream& log, const std::string& codes) {
  if (!log.is_open()) return;
  log << codes << '\n';
  log.flush();
}

// A failed voice start is shown; the demo goes on without the voice.
class DemoStartConsole final : public speech::StartConsole {
 public:
  explicit DemoStartConsole(console::Console& c) : console_(c) {}
  void writeLine(std::string_view text) override { console_.writeLine(text); }
  void readLine() override {}
  void closeConsole() override {}

 private:
  console::Console& console_;
};

// The MBROLA front-end's messages about its language files, on the console;
// at program start the user confirms each with Enter.
class ConsoleMessages final : public mbrola_tts::MessageReporter {
 public:
  ConsoleMessages(console::Console& c, bool waitEnter) : console_(c), waitEnter_(waitEnter) {}
  void showMessage(std::string_view message) override {
    console_.writeLine(message);
    if (waitEnter_) console_.readLine();
  }

 private:
  console::Console& console_;
  bool waitEnter_;
};

std::string speechDispatcherAddress() {
  const char* address = std::getenv("SPEECHD_ADDRESS");
  return address != nullptr ? address : "";
}

// The three outside engines TIPOSAPI chooses from. Building them loads
// nothing: only the one started reads its voice.
class OutsideEngines {
 public:
  OutsideEngines(wave::WavePlayer& player, console::Console& c, const speech::ConfigPlaces& places,
                 bool waitEnter)
      : messages_(c, waitEnter),
        mbrola_(player, c, mbrola_tts::mbrolaSettings(speech::ConfigReader(places)), messages_),
        systemVoices_(c, speechDispatcherAddress()),
        espeak_(player, c) {}
  speech::EngineSet set() { return {&mbrola_, &systemVoices_, &espeak_}; }

 private:
  ConsoleMessages messages_;
  mbrola_tts::MbrolaEngine mbrola_;
  sapi::SpeechDispatcherEngine systemVoices_;
  sapi::EspeakEngine espeak_;
};

// The speech front-end and the line editor, made when first asked for.
class DemoEditor {
 public:
  DemoEditor(console::Console& c, wave::WavePlayer& player)
      : console_(c),
        player_(player),
        keys_(c),
        startConsole_(c),
        database_(rules_, diphone::DataLocations::standard()),
        places_{paths::configDirectory(), std::filesystem::current_path(ec_)},
        engines_(player_, c, places_, false),
        front_({player_, c, keys_, startConsole_, rules_, database_, places_, engines_.set(),
                [] { return platform::localTime(); }}),
        help_(front_.config(), front_.recorded(), starter_),
        reviewConsole_(c),
        review_(reviewConsole_, front_.recorded(), front_.text()),
        editor_({c, front_, [this](std::string_view t) { help_.openHelpTarget(t); },
                 [this] { review_.screenReview(); }}) {
    front_.speechStart(0, "");
  }
  ~DemoEditor() { front_.speechStop(); }
  int edit(std::string& text) {
    const int x = console_.cursorColumn();
    return editor_.editLine(text, x, console_.cursorRow(), 255, console::kColumns - x + 1, true);
  }

 private:
  console::Console& console_;
  std::error_code ec_;
  wave::WavePlayer& player_;
  speech::ConsoleKeys keys_;
  DemoStartConsole startConsole_;
  diphone::LetterRules rules_;
  diphone::DiphoneDatabase database_;
  speech::ConfigPlaces places_;
  OutsideEngines engines_;
  speech::SpeechFront front_;
  platform::PosixProgramStarter starter_;
  speech::HelpTargets help_;
  speech::ConsoleReview reviewConsole_;
  // One for the whole run, so the search text is kept between reviews.
  speech::ScreenReview review_;
  speech::LineEditor editor_;
};

// A voice that cannot start: its two lines, the wait for Enter, the end.
class ProgramStartConsole final : public speech::StartConsole {
 public:
  explicit ProgramStartConsole(console::Console& c) : console_(c) {}
  void writeLine(std::string_view text) override { console_.writeLine(text); }
  void readLine() override { console_.readLine(); }
  void closeConsole() override { console_.closeConsole(); }

 private:
  console::Console& console_;
};

}  // namespace

void runConversion(Program& program, const Options& options, converter::ChooseFile chooser) {
  console::Console& c = program.console();
  speech::ConsoleKeys keys(c);
  ProgramStartConsole startConsole(c);
  diphone::LetterRules rules;
  diphone::DiphoneDatabase database(rules, diphone::DataLocations::standard());
  std::error_code ec;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  const speech::ConfigPlaces places{paths::configDirectory(), current};
  OutsideEngines engines(program.player(), c, places, true);
  speech::SpeechFront front({program.player(), c, keys, startConsole, rules, database, places,
                             engines.set(), [] { return platform::localTime(); }});
  platform::PosixProgramStarter starter;
  speech::HelpTargets help(front.config(), front.recorded(), starter);
  speech::ConsoleReview reviewConsole(c);
  speech::ScreenReview review(reviewConsole, front.recorded(), front.text());
  speech::LineEditor editor({c, front, [&help](std::string_view t) { help.openHelpTarget(t); },
                             [&review] { review.screenReview(); }});
  chooser::FileChooser files(c, front, editor);
  if (!chooser) {
    // The list gets the name as shown and spoken; the sequence opens the file
    // by the name the system gives it.
    chooser = [&files](int rows, std::string_view mask) {
      return files.chooseFile(rows, mask).systemName;
    };
  }
  presentation::NativeReader reader;
  converter::ProgramSequence sequence({c, front, editor, reader, std::move(chooser), current});

  if (front.speechStart(0, "")) sequence.run(options.inputFile);
  front.speechStop();
  c.closeConsole();
}

void runConsoleDemo(console::Console& c, wave::WavePlayer& player,
                    const std::filesystem::path& keyLog) {
  std::ofstream log;
  if (!keyLog.empty()) {
    log.open(keyLog, std::ios::app);
    if (!log.is_open()) platform::logError("app", "cannot open the key log " + keyLog.string());
  }

  const std::uint8_t normal = c.textAttribute();
  auto restore = [&] {
    c.setTextColor(normal & 15);
    c.setBackColor(normal >> 4);
  };
  c.clearScreen();
  c.setTextColor(14);
  c.setBackColor(1);
  c.write(cp1252::fromUtf8(" LAMINA - console de demonstração "));
  restore();
  c.writeLine("");
  c.writeLine("");
  c.write("Cores: ");
  for (int k = 1; k < 16; ++k) {
    c.setTextColor(k);
    c.write(std::to_string(k) + " ");
  }
  restore();
  c.writeLine("");
  c.writeLine(
      cp1252::fromUtf8("F2: ler uma linha   F3: rolar 30 linhas   F4: editor falado   Esc: sair"));
  c.writeLine(
      cp1252::fromUtf8("Braille: Ctrl+Shift+F11 liga e alterna o modo, Ctrl+Shift+F12 desliga"));
  c.writeLine(cp1252::fromUtf8("No editor: Ctrl+Alt+F9 revisão de tela (Esc volta ao editor)"));
  c.writeLine("");

  std::unique_ptr<DemoEditor> editor;
  for (;;) {
    const std::uint8_t key = c.readKey();
    std::string codes = std::to_string(key);
    std::uint8_t second = 0;
    if (key == 0) {
      second = c.readKey();
      codes += " " + std::to_string(second);
    }
    logKey(log, codes);
    c.writeLine("tecla: " + codes);
    if (key == 27) break;
    if (key == 0 && second == 60) {
      c.write("Digite uma linha: ");
      const std::string line = c.readLine();
      c.writeLine(cp1252::fromUtf8("Você digitou: ") + line);
    } else if (key == 0 && second == 62) {
      if (!editor) editor = std::make_unique<DemoEditor>(c, player);
      c.write("Editor (Enter termina): ");
      std::string line;
      const int end = editor->edit(line);
      c.writeLine("");
      c.writeLine(cp1252::fromUtf8("Você digitou: ") + line + "  (tecla " + std::to_string(end) +
                  ")");
      logKey(log, "texto: " + cp1252::toUtf8(line));
    } else if (key == 0 && second == 61) {
      for (int i = 1; i <= 30; ++i) {
        c.setTextColor(1 + i % 15);
        c.writeLine("Linha " + std::to_string(i) + " " +
                    std::string(60, static_cast<char>('a' + i % 26)));
      }
      restore();
    }
  }
  c.closeConsole();
}

}  // namespace lamina::app

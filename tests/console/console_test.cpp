#include "console/console.h"

#include <gtest/gtest.h>

#include <cstring>

#include "console_fixture.h"

using lamina::console::Console;
using lamina::console::testing::ConsoleFixture;
using lamina::console::testing::Terminated;
using lamina::platform::Message;
using lamina::platform::MessageType;
using lamina::platform::Rgb;

namespace {

// Runs body and returns the exit code it ended the program with (-1: none).
template <typename F>
int exitCodeOf(F body) {
  try {
    body();
  } catch (const Terminated& t) {
    return t.code;
  }
  return -1;
}

}  // namespace

TEST(ConsoleWindow, DefaultGeometryAndSizeLimits) {
  ConsoleFixture f;
  f.console->ensureConsole();
  EXPECT_EQ(f.window.spec().width, 720);
  EXPECT_EQ(f.window.spec().height, 550);
  EXPECT_FALSE(f.window.spec().maximised);
  EXPECT_EQ(f.window.limits().minWidth, 16 * 9);
  EXPECT_EQ(f.window.limits().minHeight, 4 * 22);
  EXPECT_EQ(f.window.limits().maxWidth, 720);
  EXPECT_EQ(f.window.limits().maxHeight, 550);
  EXPECT_EQ(f.console->textAttribute(), 0x0F);
}

TEST(ConsoleWindow, FramesCaptionAndMaximised) {
  ConsoleFixture f("[VIDEO]\nLARGURALETRA=12\nALTURALETRA=30\nCANTOTELA=NAO\n", true);
  f.window.setFrame({4, 5, 20, 800, 600});
  f.console->ensureConsole();
  EXPECT_EQ(f.window.spec().width, 2 * 4 + 80 * 12);
  EXPECT_EQ(f.window.spec().height, 2 * 5 + 25 * 30 + 20);
  EXPECT_TRUE(f.window.spec().maximised);
  // The largest size is held to the screen.
  EXPECT_EQ(f.window.limits().maxWidth, 800 + 8);
  EXPECT_EQ(f.window.limits().maxHeight, 600 + 10);
}

TEST(ConsoleWindow, AbsurdFontSizesAreKeptWithinReason) {
  ConsoleFixture f("[VIDEO]\nLARGURALETRA=0\nALTURALETRA=99999\n", true);
  f.console->ensureConsole();
  EXPECT_GT(f.window.spec().width, 0);
  EXPECT_LE(f.window.spec().height, 25 * 256);
}

TEST(ConsoleWindow, TextIsDrawnInRunsOfEqualAttributeInMappedColours) {
  ConsoleFixture f("[VIDEO]\nTABCORES=15,14\nCORFUNDO=0\nCORLETRA=1\n", true);
  f.console->ensureConsole();
  f.window.recordDrawing(true);
  f.window.drawCalls().clear();
  f.console->write("ab");
  f.console->setBackColor(1);
  f.console->write("cd");
  const auto& calls = f.window.drawCalls();
  ASSERT_EQ(calls.size(), 2u);
  // Slot 1 maps to 14 (yellow), slot 0 to 15 (white): yellow on white.
  EXPECT_EQ(calls[0].text, "ab");
  EXPECT_EQ(calls[0].fg, (Rgb{255, 255, 0}));
  EXPECT_EQ(calls[0].bg, (Rgb{255, 255, 255}));
  EXPECT_EQ(calls[1].text, "cd");
  EXPECT_EQ(calls[1].x, 2 * 9);
  EXPECT_EQ(calls[1].bg, (Rgb{255, 255, 0}));

  // A paint of the whole client area draws one call per run.
  f.window.drawCalls().clear();
  Message paint;
  paint.type = MessageType::Paint;
  paint.x2 = 720;
  paint.y2 = 550;
  f.console->dispatch(paint);
  // Row 1: "ab", "cd" and the blank rest; then one run for each other row.
  EXPECT_EQ(calls.size(), 3u + 24u);
}

TEST(ConsoleWindow, SetBackColorOnePaintsOnBlue) {
  ConsoleFixture f;
  f.console->setBackColor(1);
  f.window.recordDrawing(true);
  f.console->write("x");
  ASSERT_FALSE(f.window.drawCalls().empty());
  EXPECT_EQ(f.window.drawCalls().back().bg, (Rgb{0, 0, 255}));
  EXPECT_EQ(f.window.drawCalls().back().fg, (Rgb{255, 255, 255}));
}

TEST(ConsoleWindow, SlowScrollCopiesPixelsOtherwiseRepaints) {
  ConsoleFixture slow("[VIDEO]\nLENTO=S\n", true);
  slow.console->write(std::string(30, '\n'));
  EXPECT_EQ(slow.window.scrolls(), 30 - 24);
  ConsoleFixture normal;
  normal.console->write(std::string(30, '\n'));
  EXPECT_EQ(normal.window.scrolls(), 0);
}

TEST(ConsoleWindow, MagnifierStretchesTheSnapshotAroundTheMouse) {
  ConsoleFixture f("[VIDEO]\nAMPLIF=3\n", true);
  f.console->ensureConsole();
  Message m;
  m.type = MessageType::RightDown;
  m.x = 600;
  m.y = 450;
  f.console->dispatch(m);
  EXPECT_TRUE(f.console->magnifierOn());
  EXPECT_TRUE(f.window.snapshotTaken());
  auto r = f.window.magnified();
  EXPECT_EQ(r.x, 600 - 200);
  EXPECT_EQ(r.y, 450 - 150);
  EXPECT_EQ(r.w, 240);
  EXPECT_EQ(r.h, 550 / 3);
  m.type = MessageType::MouseMove;
  m.x = 0;
  m.y = 0;
  f.console->dispatch(m);
  EXPECT_EQ(f.window.magnified().x, 0);
  // Outside the window the picture stays at the nearest edge.
  m.x = -4;
  m.y = -7;
  f.console->dispatch(m);
  EXPECT_EQ(f.window.magnified().x, 0);
  EXPECT_EQ(f.window.magnified().y, 0);
  m.x = 5000;
  m.y = 0xFFFF + 3000;
  f.console->dispatch(m);
  EXPECT_EQ(f.window.magnified().x, 719 - 719 / 3);
  EXPECT_EQ(f.window.magnified().y, 549 - 549 / 3);
  const int lastX = f.window.magnified().x;
  m.type = MessageType::RightUp;
  f.console->dispatch(m);
  EXPECT_FALSE(f.console->magnifierOn());
  EXPECT_FALSE(f.window.snapshotTaken());
  // Moving without the button does nothing.
  m.type = MessageType::MouseMove;
  m.x = 300;
  f.console->dispatch(m);
  EXPECT_EQ(f.window.magnified().x, lastX);
}

TEST(ConsoleInput, LineReadingKeepsAtMost126CharactersAndEchoes) {
  ConsoleFixture f;
  f.window.appendScript(std::string(130, 'k') + "\n");
  const std::string raw = f.console->readLineBytes();
  EXPECT_EQ(raw.size(), 128u);
  EXPECT_EQ(raw.substr(126), "\r\n");
  // Echo: 80 on row 1, 46 on row 2, then the line end.
  EXPECT_EQ(f.row(1), std::string(80, 'k'));
  EXPECT_EQ(f.row(2).substr(0, 47), std::string(46, 'k') + " ");
  EXPECT_EQ(f.console->cursorRow(), 3);
}

TEST(ConsoleInput, FunctionKeysStoreTheirCodeAndBackspaceEdits) {
  ConsoleFixture f;
  f.window.appendScript("ab{Backspace}c{F1}{Esc}\n");
  EXPECT_EQ(f.console->readLine(), "ac;");
  EXPECT_EQ(f.row(1).substr(0, 4), "ac; ");
  // Backspace with nothing held does nothing.
  f.window.appendScript("{Backspace}x\n");
  EXPECT_EQ(f.console->readLine(), "x");
}

TEST(ConsoleInput, CaretShowsOnlyWhileAKeyIsAwaited) {
  ConsoleFixture f;
  f.console->write("abc");
  bool caretDuringWait = false;
  lamina::platform::HeadlessWindow::Rect caret{};
  // The handler runs while readKey pumps, that is while the key is awaited.
  f.console->setWaveDoneHandler([&](std::uintptr_t, std::uintptr_t) {
    caretDuringWait = f.window.caretVisible();
    caret = f.window.caret();
  });
  f.console->postMessage(lamina::platform::kMsgWaveDone, 1, 2);
  f.window.appendScript("z");
  EXPECT_FALSE(f.window.caretVisible());
  EXPECT_EQ(f.console->readKey(), 'z');
  EXPECT_TRUE(caretDuringWait);
  EXPECT_FALSE(f.window.caretVisible());
  // Under the cursor cell, on the base line, cell wide and 2 pixels high.
  EXPECT_EQ(caret.w, 9);
  EXPECT_EQ(caret.h, 2);
  EXPECT_EQ(caret.x, 3 * 9);
  EXPECT_EQ(caret.y, 22 * 4 / 5);
}

TEST(ConsoleInput, WaveDoneMessagesReachTheHandlerWithTheirParameters) {
  ConsoleFixture f;
  std::vector<std::pair<std::uintptr_t, std::uintptr_t>> seen;
  f.console->setWaveDoneHandler(
      [&](std::uintptr_t a, std::uintptr_t b) { seen.emplace_back(a, b); });
  f.console->postMessage(lamina::platform::kMsgWaveDone, 7, 9);
  f.console->postMessage(lamina::platform::kMsgSpeechWake, 1, 1);
  EXPECT_FALSE(f.console->keyPressed());
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (std::pair<std::uintptr_t, std::uintptr_t>{7, 9}));
}

TEST(ConsoleInput, KeyStateIsThatOfTheKeyBeingDelivered) {
  ConsoleFixture f;
  f.type("{Shift+Down}");
  f.console->keyPressed();
  EXPECT_TRUE(f.console->keyState().shift);
  f.type("{Down}");
  f.console->keyPressed();
  EXPECT_FALSE(f.console->keyState().shift);
}

TEST(ConsoleEnd, CtrlBreakAndQuitEndWith255) {
  ConsoleFixture f;
  f.console->ensureConsole();
  f.type("{Ctrl+C}");
  EXPECT_EQ(exitCodeOf([&] { f.console->keyPressed(); }), -1);
  EXPECT_EQ(f.drain(), (std::vector<int>{3}));
  f.type("{Break}");
  EXPECT_EQ(exitCodeOf([&] { f.console->keyPressed(); }), 255);
  EXPECT_EQ(f.window.caption(), "Programa terminado");

  ConsoleFixture g;
  g.console->ensureConsole();
  Message quit;
  quit.type = MessageType::Quit;
  g.window.postMessage(quit);
  EXPECT_EQ(exitCodeOf([&] { g.console->keyPressed(); }), 255);
}

TEST(ConsoleWindow, AWindowThatCannotBeCreatedFallsBackOrEnds) {
  // With a fallback the console goes on there: text and keys work.
  lamina::platform::HeadlessWindow refusing;
  refusing.refuseCreation();
  refusing.endScript();  // a console that waits on it gets Close
  lamina::platform::HeadlessWindow spare;
  lamina::console::testing::RecordingTones tones;
  lamina::console::ConsoleOptions options;
  options.terminate = [](int code) { throw Terminated{code}; };
  options.fallbackWindow = [&] { return &spare; };
  {
    Console console(refusing, tones, options);
    console.write("ok");
    EXPECT_TRUE(console.created());
    ASSERT_TRUE(spare.created());
    EXPECT_EQ(spare.spec().width, 720);
    spare.appendScript("z");
    EXPECT_EQ(console.readKey(), 'z');
  }
  // Without one the program ends at once instead of waiting for keys.
  options.fallbackWindow = nullptr;
  Console alone(refusing, tones, options);
  EXPECT_EQ(exitCodeOf([&] { alone.readKey(); }), lamina::console::kNoWindowExitCode);
}

TEST(ConsoleEnd, CloseButtonEndsInOrderWithCodeZero) {
  ConsoleFixture f;
  f.console->write("hello");
  f.type("xyz");
  Message close;
  close.type = MessageType::Close;
  f.window.postMessage(close);
  EXPECT_EQ(exitCodeOf([&] { f.console->keyPressed(); }), 0);
  EXPECT_FALSE(f.window.created());
}

TEST(ConsoleEnd, EndOfScriptActsAsTheCloseButton) {
  ConsoleFixture f;
  f.window.appendScript("a");
  f.window.endScript();
  EXPECT_EQ(f.console->readKey(), 'a');
  EXPECT_EQ(exitCodeOf([&] { f.console->readKey(); }), 0);
}

TEST(ConsoleEnd, ScreenDumpHoldsTextThenAttributes) {
  ConsoleFixture f;
  f.console->setBackColor(1);
  f.console->setTextColor(14);
  f.console->write("A\xE7\xE3o");  // cp1252 inside, UTF-8 in the dump
  const std::string dump = f.console->screenDumpText();
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < dump.size()) {
    const std::size_t end = dump.find('\n', pos);
    lines.push_back(dump.substr(pos, end - pos));
    pos = end + 1;
  }
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(lines[0], "Ação" + std::string(76, ' '));
  EXPECT_EQ(lines[24], std::string(80, ' '));
  EXPECT_EQ(lines[25].substr(0, 10), "1e1e1e1e0f");
  EXPECT_EQ(lines[49].size(), 160u);
}

TEST(ConsoleClipboard, PasteSizesAndFailures) {
  ConsoleFixture f;
  char buffer[8] = "zzzzzzz";
  f.window.setClipboardState(true, true, "abcdef");
  f.console->pasteFromClipboard(std::span<char>(buffer, 5));
  EXPECT_STREQ(buffer, "abcd");
  f.console->pasteFromClipboard(std::span<char>(buffer, 8));
  EXPECT_STREQ(buffer, "abcdef");
  f.console->pasteFromClipboard(std::span<char>(buffer, 1));
  EXPECT_STREQ(buffer, "");

  std::memcpy(buffer, "keep", 5);
  f.console->pasteFromClipboard(std::span<char>(buffer, 0));
  EXPECT_STREQ(buffer, "keep");
  f.window.setClipboardState(false, true, "abc");
  f.console->pasteFromClipboard(std::span<char>(buffer, 8));
  EXPECT_STREQ(buffer, "keep");
  f.window.setClipboardState(true, false, "");
  f.console->pasteFromClipboard(std::span<char>(buffer, 8));
  EXPECT_STREQ(buffer, "");

  f.window.setClipboardState(true, false, "");
  f.console->copyToClipboard(std::string_view("copied\0tail", 11));
  EXPECT_EQ(f.window.clipboardText(), "copied");
}

TEST(ConsoleTones, BrailleModeFromTheSettingsIsAnnouncedAtCreation) {
  ConsoleFixture f("[BRAILLE]\nMODO=3\n", true);
  f.console->ensureConsole();
  EXPECT_EQ(f.console->brailleMode(), 1);
  ASSERT_EQ(f.tones.blocks.size(), 2u);
  EXPECT_EQ(f.tones.blocks[0], Console::toneBlock(800));
  EXPECT_EQ(f.tones.blocks[1], Console::toneBlock(1600));
  EXPECT_EQ(f.tones.stops, 2);
}

TEST(ConsoleTones, ToneBlockLayout) {
  const auto b = Console::toneBlock(1000);
  ASSERT_EQ(b.size(), 11071u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  const std::uint32_t dataLength = b[40] | (b[41] << 8) | (b[42] << 16) | (b[43] << 24);
  const std::uint32_t riffLength = b[4] | (b[5] << 8) | (b[6] << 16) | (b[7] << 24);
  EXPECT_EQ(riffLength, dataLength + 36);
  // p = 11, half = 5: each period starts low and goes high at its middle.
  EXPECT_EQ(b[44], 96);
  EXPECT_EQ(b[48], 96);
  EXPECT_EQ(b[49], 160);
  EXPECT_EQ(b[54], 160);
  EXPECT_EQ(b[55], 96);  // next period begins at 44 + 11025 / 1000
  // The byte before the first unfilled period start is silence.
  EXPECT_EQ(b[44 + dataLength - 1], 128);
  EXPECT_LE(44 + dataLength, 11025u);
  EXPECT_TRUE(Console::toneBlock(0).empty());
  EXPECT_EQ(Console::toneBlock(20000).size(), 11071u);
}

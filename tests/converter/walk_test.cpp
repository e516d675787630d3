#include <gtest/gtest.h>

#include "converter/convert.h"
#include "tests/converter/fake_server.h"

namespace lamina::converter {
namespace {

using testing::FakeServer;

class StringSink final : public OutputSink {
 public:
  std::string bytes;
  int failAfter = -1;  // writes allowed before every write fails
  bool write(std::string_view b) override {
    if (failAfter == 0) return false;
    if (failAfter > 0) --failAfter;
    bytes += b;
    return true;
  }
};

class CountingConsole final : public ConsoleOutput {
 public:
  int emptyLines = 0;
  void emptyLine() override { ++emptyLines; }
};

const std::string kHeader = "Apresenta\xE7\xE3o: /p/a.ppt\r\nN\xFAmero de slides: ";

class WalkTest : public ::testing::Test {
 protected:
  FakeServer server;
  CountingConsole console;
  StringSink sink;
  Converter converter{server, console};

  std::string run() {
    EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink), Result::success);
    return sink.bytes;
  }
  // The file for one slide holding one shape.
  std::string oneShape(presentation::ShapeId shape) {
    server.slides = {{shape}};
    return run();
  }
  static std::string slideOne(std::string_view body) {
    return kHeader + "1\r\n---- Slide 1 ----\r\n" + std::string(body);
  }
};

TEST_F(WalkTest, NoSlidesGiveTheTwoHeaderLinesAndOneConsoleLine) {
  EXPECT_EQ(run(), kHeader + "0\r\n");
  EXPECT_EQ(console.emptyLines, 1);
  EXPECT_EQ(server.calls, (std::vector<std::string>{"create", "visible", "presentations",
                                                    "open 001", "close", "quit"}));
  EXPECT_EQ(server.openedName, "/p/a.ppt");
}

TEST_F(WalkTest, SlidesAreNumberedAndEmptySlidesHaveOnlyTheirHeading) {
  server.slides = {{}, {server.text(u"x")}, {}};
  EXPECT_EQ(run(), kHeader +
                       "3\r\n---- Slide 1 ----\r\n---- Slide 2 ----\r\nx\r\n\r\n"
                       "---- Slide 3 ----\r\n");
}

TEST_F(WalkTest, TextLinesFollowTheOutputRules) {
  EXPECT_EQ(oneShape(server.text(u"a\r\rb")), slideOne("a\r\nb\r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(server.text(u"x\ty")), slideOne("x    y\r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(server.text(u"one\vtwo\x01\n")), slideOne("one \xB0 two \xB0 \r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(server.text(u"\r\n\r")), slideOne("\r\n"));
}

TEST_F(WalkTest, TextIsConvertedToCp1252WithOneQuestionMarkPerCharacter) {
  // e acute, euro sign, CJK, an emoji as a surrogate pair, a lone surrogate.
  EXPECT_EQ(oneShape(server.text(u"\u00E9\u20AC\u4E2D\U0001F600\xD800")),
            slideOne("\xE9\x80???\r\n\r\n"));
}

TEST_F(WalkTest, ShapesWithoutTextFrameGiveAlternativeTextOrABlankLine) {
  EXPECT_EQ(oneShape(server.picture(u"")), slideOne("\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(server.picture(u"Logo")), slideOne("ALT: Logo\r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(server.picture(u"two\rlines")), slideOne("ALT: two\r\nlines\r\n\r\n"));
  sink.bytes.clear();
  // A text frame wins over the alternative text, even when it is empty.
  EXPECT_EQ(oneShape(server.add({true, u"", u"Logo", {}})), slideOne("\r\n"));
}

TEST_F(WalkTest, GroupsGiveTheirAlternativeTextThenEachMembersBlocks) {
  const auto inner = server.group({server.text(u"deep"), server.picture(u"")}, u"");
  const auto outer =
      server.group({server.text(u"a"), server.text(u""), server.picture(u"P"), inner}, u"G");
  EXPECT_EQ(oneShape(outer), slideOne("ALT: G\r\n\r\na\r\n\r\nALT: P\r\n\r\ndeep\r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(server.group({server.text(u"\r"), server.picture(u"")})), slideOne("\r\n"));
}

TEST_F(WalkTest, OpenFailuresWriteNothingAndStillQuit) {
  const std::pair<presentation::OpenResult, Result> cases[] = {
      {presentation::OpenResult::notPresentation, Result::notPresentation},
      {presentation::OpenResult::corrupt, Result::corrupt},
      {presentation::OpenResult::encrypted, Result::encrypted},
      {presentation::OpenResult::oldFormat, Result::oldFormat},
  };
  for (const auto& [opened, expected] : cases) {
    server.openResult = opened;
    server.calls.clear();
    EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink), expected);
    EXPECT_EQ(sink.bytes, "");
    EXPECT_EQ(console.emptyLines, 0);
    EXPECT_EQ(server.calls.back(), "quit");
  }
}

TEST_F(WalkTest, WriteFailuresAreReported) {
  server.slides = {{server.text(u"a")}};
  sink.failAfter = 1;  // the first header line only
  EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink), Result::writeError);
  EXPECT_EQ(console.emptyLines, 0);
  EXPECT_EQ(server.calls.back(), "quit");

  StringSink late;
  late.failAfter = 6;  // header lines and slide heading, then the shape text fails
  EXPECT_EQ(converter.convertPresentation("/p/a.ppt", late), Result::writeError);
}

TEST_F(WalkTest, FileNameCanDifferFromTheHeaderName) {
  EXPECT_EQ(converter.convertPresentation("/p/\xE9.ppt", sink), Result::success);
  EXPECT_EQ(server.openedName, "/p/\xC3\xA9.ppt");
  EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink, "/real/name"), Result::success);
  EXPECT_EQ(server.openedName, "/real/name");
  converter.releaseState();
  EXPECT_EQ(converter.inputName(), "");
}

}  // namespace
}  // namespace lamina::converter

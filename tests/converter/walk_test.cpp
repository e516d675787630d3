#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string_view>

#include "converter/convert.h"
#include "tests/converter/fake_reader.h"

namespace lamina::converter {
namespace {

using testing::FakeReader;

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
  FakeReader reader;
  CountingConsole console;
  StringSink sink;
  Converter converter{reader, console};

  std::string run() {
    EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink), ConvertResult::ok);
    return sink.bytes;
  }
  // The file for one slide holding one shape.
  std::string oneShape(presentation::ShapeId shape) {
    reader.slides = {{shape}};
    return run();
  }
  static std::string slideOne(std::string_view body) {
    return kHeader + "1\r\n---- Slide 1 ----\r\n" + std::string(body);
  }
};

TEST_F(WalkTest, NoSlidesGiveTheTwoHeaderLinesAndOneConsoleLine) {
  EXPECT_EQ(run(), kHeader + "0\r\n");
  EXPECT_EQ(console.emptyLines, 1);
  EXPECT_EQ(reader.calls, (std::vector<std::string>{"create", "visible", "presentations",
                                                    "open 001", "close", "quit"}));
  EXPECT_EQ(reader.openedName, "/p/a.ppt");
}

TEST_F(WalkTest, SlidesAreNumberedAndEmptySlidesHaveOnlyTheirHeading) {
  reader.slides = {{}, {reader.text(u"x")}, {}};
  EXPECT_EQ(run(), kHeader +
                       "3\r\n---- Slide 1 ----\r\n---- Slide 2 ----\r\nx\r\n\r\n"
                       "---- Slide 3 ----\r\n");
}

TEST_F(WalkTest, TextLinesFollowTheOutputRules) {
  EXPECT_EQ(oneShape(reader.text(u"a\r\rb")), slideOne("a\r\nb\r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(reader.text(u"x\ty")), slideOne("x    y\r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(reader.text(u"one\vtwo\x01\n")), slideOne("one \xB0 two \xB0 \r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(reader.text(u"\r\n\r")), slideOne("\r\n"));
}

TEST_F(WalkTest, TextIsConvertedToCp1252WithOneQuestionMarkPerCharacter) {
  // e acute, euro sign, CJK, an emoji as a surrogate pair, a lone surrogate.
  EXPECT_EQ(oneShape(reader.text(u"\u00E9\u20AC\u4E2D\U0001F600\xD800")),
            slideOne("\xE9\x80???\r\n\r\n"));
}

TEST_F(WalkTest, ShapesWithoutTextFrameGiveAlternativeTextOrABlankLine) {
  EXPECT_EQ(oneShape(reader.picture(u"")), slideOne("\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(reader.picture(u"Logo")), slideOne("ALT: Logo\r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(reader.picture(u"two\rlines")), slideOne("ALT: two\r\nlines\r\n\r\n"));
  sink.bytes.clear();
  // A text frame wins over the alternative text, even when it is empty.
  EXPECT_EQ(oneShape(reader.add({true, u"", u"Logo", {}})), slideOne("\r\n"));
}

TEST_F(WalkTest, GroupsGiveTheirAlternativeTextThenEachMembersBlocks) {
  const auto inner = reader.group({reader.text(u"deep"), reader.picture(u"")}, u"");
  const auto outer =
      reader.group({reader.text(u"a"), reader.text(u""), reader.picture(u"P"), inner}, u"G");
  EXPECT_EQ(oneShape(outer), slideOne("ALT: G\r\n\r\na\r\n\r\nALT: P\r\n\r\ndeep\r\n\r\n"));
  sink.bytes.clear();
  EXPECT_EQ(oneShape(reader.group({reader.text(u"\r"), reader.picture(u"")})), slideOne("\r\n"));
}

TEST_F(WalkTest, DamagedSlidesAreWalkedAndReportedOncePerConversion) {
  reader.slides = {{reader.text(u"a")}, {}, {reader.text(u"c")}};
  reader.damaged = {2};
  EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink), ConvertResult::damagedSlides);
  EXPECT_EQ(converter.damagedSlides(), std::vector<int>{2});
  EXPECT_EQ(sink.bytes, kHeader +
                            "3\r\n---- Slide 1 ----\r\na\r\n\r\n---- Slide 2 ----\r\n"
                            "---- Slide 3 ----\r\nc\r\n\r\n");
  reader.damaged.clear();
  EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink), ConvertResult::ok);
  EXPECT_TRUE(converter.damagedSlides().empty());
}

TEST_F(WalkTest, OpenFailuresWriteNothingAndStillQuit) {
  const std::pair<presentation::OpenResult, ConvertResult> cases[] = {
      {presentation::OpenResult::notPresentation, ConvertResult::notPresentation},
      {presentation::OpenResult::corrupt, ConvertResult::corrupt},
      {presentation::OpenResult::encrypted, ConvertResult::encrypted},
      {presentation::OpenResult::oldFormat, ConvertResult::oldFormat},
      {presentation::OpenResult::tooLarge, ConvertResult::tooLarge},
  };
  std::set<std::string_view> openTexts{presentation::resultText(presentation::OpenResult::ok)};
  std::set<std::string_view> texts{resultText(ConvertResult::ok),
                                   resultText(ConvertResult::writeError),
                                   resultText(ConvertResult::damagedSlides)};
  for (const auto& [opened, expected] : cases) {
    reader.openResult = opened;
    reader.calls.clear();
    EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink), expected);
    EXPECT_EQ(sink.bytes, "");
    EXPECT_EQ(console.emptyLines, 0);
    EXPECT_EQ(reader.calls.back(), "quit");
    openTexts.insert(presentation::resultText(opened));
    texts.insert(resultText(expected));
  }
  // Each result has a message of its own, so a batch user can tell them apart.
  EXPECT_EQ(openTexts.size(), std::size(cases) + 1);
  EXPECT_EQ(texts.size(), std::size(cases) + 3);
}

TEST_F(WalkTest, WriteFailuresAreReported) {
  reader.slides = {{reader.text(u"a")}};
  sink.failAfter = 1;  // the first header line only
  EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink), ConvertResult::writeError);
  EXPECT_EQ(console.emptyLines, 0);
  EXPECT_EQ(reader.calls.back(), "quit");

  StringSink late;
  late.failAfter = 6;  // header lines and slide heading, then the shape text fails
  EXPECT_EQ(converter.convertPresentation("/p/a.ppt", late), ConvertResult::writeError);
}

TEST_F(WalkTest, FileNameCanDifferFromTheHeaderName) {
  EXPECT_EQ(converter.convertPresentation("/p/\xE9.ppt", sink), ConvertResult::ok);
  EXPECT_EQ(reader.openedName, "/p/\xC3\xA9.ppt");
  EXPECT_EQ(converter.convertPresentation("/p/a.ppt", sink, "/real/name"), ConvertResult::ok);
  EXPECT_EQ(reader.openedName, "/real/name");
  converter.releaseState();
  EXPECT_EQ(converter.inputName(), "");
}

}  // namespace
}  // namespace lamina::converter

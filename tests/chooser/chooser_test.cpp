// The file chooser driven by key scripts over real temporary directories:
// the name it returns, the list on the screen, the screen restored and the
// sounds that reached the recording device.
#include "chooser/chooser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "platform/cp1252.h"
#include "tests/chooser/chooser_fixture.h"

namespace lamina::chooser {
namespace {

using testing::ChooserFixture;
using List = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr std::uint8_t kPlain = 0x6F;      // white on colour 6
constexpr std::uint8_t kMarked = 0x62;     // green on colour 6
constexpr std::uint8_t kHighlight = 0x6E;  // yellow on colour 6

std::vector<std::string> spelled(std::string_view text) {
  std::vector<std::string> out;
  for (unsigned char c : text) out.push_back("_" + std::to_string(c));
  return out;
}

TEST(FoldOrder, AccentsFoldToTheirLetterAndCaseIsIgnored) {
  const std::string agata = cp1252::fromUtf8("Ágata.ppt");
  EXPECT_TRUE(foldedLess("abc.ppt", agata));
  EXPECT_TRUE(foldedLess(agata, "Zeta.ppt"));
  EXPECT_FALSE(foldedLess("ABC", "abc"));
  EXPECT_EQ(foldByte(0xE7), 'C');  // ç
  EXPECT_EQ(foldByte(0xC6), 145);  // Æ
  EXPECT_EQ(foldByte(0x87), 'C');  // DOS ç
  EXPECT_EQ(foldByte(0xAA), 254);  // ª: no letter
  EXPECT_EQ(shortName("apresentacao.pptx"), "apresent.ppt");
  EXPECT_EQ(shortName("LEIAME"), "LEIAME");
  EXPECT_EQ(shortName("muito.longo.arquivo"), "muito.lo.arq");
}

using Chooser = ChooserFixture;

TEST_F(Chooser, TypedNameIsReturnedWithoutListingAndEscGivesUp) {
  touch("aula.ppt");
  const std::string before = screen();
  EXPECT_EQ(choose("aula\n").name, "aula");
  EXPECT_EQ(choose("\n").name, "");
  EXPECT_EQ(choose("aula{Esc}").name, "");
  console_->moveCursor(1, 3);
  console_->clearToLineEnd();
  EXPECT_EQ(screen(), before) << "a list was drawn";
}

TEST_F(Chooser, ListsMatchingFilesInFoldOrderAndRestoresTheScreen) {
  for (const char* n : {"Zeta.ppt", "abc.ppt", "Ágata.ppt", "Aula.PPT", "notas.pptx", "slides.ODP",
                        "leia.txt", ".oculto.ppt"})
    touch(n);
  fs::create_directories(files_ / "pasta.ppt");
  console_->moveCursor(1, 10);
  console_->write("texto de baixo");
  const std::string before = screen();

  // The view is read while the last entry is highlighted: End, then Esc.
  std::string shown;
  consolePump_->onWait = [&] {
    if (console_->screenAttrAt(2, 8) == kHighlight) shown = screen();
  };
  EXPECT_EQ(choose("{Down}{End}{Esc}").name, "");
  consolePump_->onWait = nullptr;
  ASSERT_FALSE(shown.empty());
  std::vector<std::string> rows;
  for (int y = 3; y <= 10; ++y)
    rows.push_back(shown.substr(static_cast<std::size_t>(y - 1) * 81, 80));
  EXPECT_EQ(rows[0].substr(0, 12), " abc.ppt    ");
  EXPECT_EQ(rows[1].substr(0, 11), " " + cp1252::fromUtf8("Ágata.ppt") + " ");
  EXPECT_EQ(rows[2].substr(0, 10), " Aula.PPT ");
  EXPECT_EQ(rows[3].substr(0, 12), " notas.pptx ");
  EXPECT_EQ(rows[4].substr(0, 12), " slides.ODP ");
  EXPECT_EQ(rows[5].substr(0, 10), " Zeta.ppt ");
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[7].substr(0, 14), "texto de baixo") << "rows below the last entry are kept";
  EXPECT_EQ(screen(), before);
  EXPECT_EQ(fs::current_path(), files_);

  // Down twice from the first entry, Enter: the name without a directory.
  const ChosenFile chosen = choose("{Down}{Down}{Down}\n");
  EXPECT_EQ(chosen.name, "Aula.PPT");
  EXPECT_EQ(chosen.systemName, "Aula.PPT");
  EXPECT_EQ(screen(), before);
  // Each entry was spoken; nothing beeped.
  const List heard1 = heard();
  EXPECT_NE(std::find(heard1.begin(), heard1.end(), "synth"), heard1.end());
  EXPECT_EQ(std::count(heard1.begin(), heard1.end(), "beep"), 0);
}

TEST_F(Chooser, EndsBeepAndEnterOffTheListCancels) {
  for (const char* n : {"a.ppt", "b.ppt"}) touch(n);
  EXPECT_EQ(choose("{Down}{Up}\n").name, "");
  // Up off the first entry beeps, and so does Enter while off the list.
  const List cancelled = heard();
  EXPECT_EQ(std::count(cancelled.begin(), cancelled.end(), "beep"), 2);
  // Past the end and back onto the list: the last entry is chosen.
  const ChosenFile c = choose("{Down}{End}{Down}{Up}\n");
  EXPECT_EQ(c.name, "b.ppt");
  const List h = heard();
  EXPECT_EQ(std::count(h.begin(), h.end(), "beep"), 1);
}

TEST_F(Chooser, RightSpellsTheLongNameLeftTheShortOne) {
  touch("apresentacao.pptx");
  EXPECT_EQ(choose("{Down}{Right}{Esc}").name, "");
  List h = heard();
  const List longSpelled = spelled("apresentacao.pptx");
  EXPECT_TRUE(std::search(h.begin(), h.end(), longSpelled.begin(), longSpelled.end()) != h.end());
  EXPECT_EQ(choose("{Down}{Left}{Esc}").name, "");
  h = heard();
  const List shortSpelled = spelled("apresent.ppt");
  EXPECT_TRUE(std::search(h.begin(), h.end(), shortSpelled.begin(), shortSpelled.end()) != h.end());
}

TEST_F(Chooser, MarkingKeysColourTheEntriesAndBeep) {
  for (const char* n : {"a.ppt", "b.ppt", "c.ppt", "d.ppt"}) touch(n);
  std::vector<std::uint8_t> colours;
  consolePump_->onWait = [&] {
    if (console_->screenAttrAt(2, 5) == kHighlight && colours.empty())
      for (int y = 3; y <= 6; ++y) colours.push_back(console_->screenAttrAt(2, y));
  };
  // Shift+Down marks a and b (one beep), Down to c, "+" marks it, Down to d
  // which is left unmarked: Up goes back to c (beep before its name).
  EXPECT_EQ(choose("{Down}{Shift+Down}{Down}+{Down}{Up}{Esc}").name, "");
  EXPECT_EQ(colours, (std::vector<std::uint8_t>{kMarked, kMarked, kHighlight, kPlain}));
  List h = heard();
  // Marking a (beep), b marked (beep before its name), "+" on c and Up
  // back onto the marked c.
  EXPECT_EQ(std::count(h.begin(), h.end(), "beep"), 4);

  // "*" marks all, "/" clears all; Shift+End marks to the end with a beep.
  colours.clear();
  consolePump_->onWait = [&] {
    if (console_->screenAttrAt(2, 6) == kHighlight && colours.empty())
      for (int y = 3; y <= 6; ++y) colours.push_back(console_->screenAttrAt(2, y));
  };
  EXPECT_EQ(choose("{Down}*/{Down}{Shift+End}{Esc}").name, "");
  EXPECT_EQ(colours, (std::vector<std::uint8_t>{kPlain, kMarked, kMarked, kHighlight}));
}

TEST_F(Chooser, NamesOutsideTheCodePageShowAQuestionMarkAndStillOpen) {
  touch("日本.ppt", "conteúdo");
  std::string shown;
  consolePump_->onWait = [&] {
    if (shown.empty()) shown = row(3);
  };
  const ChosenFile c = choose("{Down}\n");
  EXPECT_EQ(shown.substr(0, 8), " ??.ppt ");
  EXPECT_EQ(c.name, "??.ppt");
  std::ifstream in(c.systemName);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "conteúdo");
}

TEST_F(Chooser, TwoThousandFilesScrollAndSearchByLetter) {
  for (int i = 0; i < 2000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "a%04d.ppt", i);
    touch(name);
  }
  touch("zeta.ppt");
  touch("Zulu.ppt");
  // Page Down twice: entry 20 on the bottom row of a 10-row list.
  std::string bottom;
  consolePump_->onWait = [&] {
    if (console_->screenAttrAt(2, 12) == kHighlight) bottom = row(12);
  };
  EXPECT_EQ(choose("{Down}{PgDn}{PgDn}\n").name, "a0020.ppt");
  EXPECT_EQ(bottom.substr(0, 11), " a0020.ppt ");
  // F5 z finds zeta, Ctrl+F5 repeats the letter to Zulu, and again runs
  // off the end (beep, nothing chosen).
  EXPECT_EQ(choose("{Down}{F5}z\n").name, "zeta.ppt");
  EXPECT_EQ(choose("{Down}{F5}z{Ctrl+F5}\n").name, "Zulu.ppt");
  EXPECT_EQ(choose("{Down}{F5}z{Ctrl+F5}{Ctrl+F5}\n").name, "");
  // Ctrl+Page Down goes to the last entry, Home back to the first.
  EXPECT_EQ(choose("{Down}{Ctrl+PgDn}\n").name, "Zulu.ppt");
  EXPECT_EQ(choose("{Down}{End}{Home}\n").name, "a0000.ppt");
}

TEST_F(Chooser, TypedDirectoryIsListedAndTheWorkingDirectoryComesBack) {
  fs::create_directories(files_ / "sub");
  std::ofstream(files_ / "sub" / "aula.ppt") << "x";
  ChosenFile c = choose("sub/{Down}\n", kPresentationMask);
  EXPECT_EQ(c.name, (files_ / "sub" / "aula.ppt").string());
  EXPECT_EQ(fs::current_path(), files_);
  // Typed beginnings list every file starting with them.
  touch("aula1.ppt");
  touch("aulas");
  touch("outra.ppt");
  EXPECT_EQ(choose("aul{Down}{Down}\n").name, "aulas");
  // A directory that cannot be entered or read: empty, nothing drawn.
  console_->moveCursor(1, 3);
  console_->clearToLineEnd();
  const std::string before = screen();
  EXPECT_EQ(choose("nada/{Down}").name, "nada/");
  touch("arquivo");
  EXPECT_EQ(choose("arquivo/{Down}").name, "arquivo/");
  fs::create_directories(files_ / "fechada");
  std::ofstream(files_ / "fechada" / "x.ppt") << "x";
  fs::permissions(files_ / "fechada", fs::perms::none);
  std::error_code ec;
  const bool readable = fs::directory_iterator(files_ / "fechada", ec) != fs::directory_iterator();
  if (!readable) {  // (the superuser reads it anyway)
    EXPECT_EQ(choose("fechada/{Down}").name, "fechada/");
  }
  fs::permissions(files_ / "fechada", fs::perms::owner_all);
  console_->moveCursor(1, 3);
  console_->clearToLineEnd();
  EXPECT_EQ(screen(), before);
  EXPECT_EQ(fs::current_path(), files_);
}

TEST_F(Chooser, DirectoryVanishingWhileListedEndsCleanly) {
  fs::create_directories(files_ / "sub");
  for (const char* n : {"a.ppt", "b.ppt"}) std::ofstream(files_ / "sub" / n) << "x";
  bool removed = false;
  consolePump_->onWait = [&] {
    if (!removed && console_->screenAttrAt(2, 3) == kHighlight) {
      fs::remove_all(files_ / "sub");
      removed = true;
    }
  };
  const ChosenFile c = choose("sub/{Down}{Down}{Up}\n");
  EXPECT_TRUE(removed);
  EXPECT_EQ(c.name, (files_ / "sub" / "a.ppt").string());
  EXPECT_EQ(fs::current_path(), files_);
}

TEST_F(Chooser, ListIsClippedAtTheLastRowAndKeepsItsLastCell) {
  for (int i = 0; i < 12; ++i) touch("f" + std::to_string(i + 10) + ".ppt");
  console_->moveCursor(1, 25);
  console_->write(std::string(79, '-'));
  const std::string before = screen();
  std::string last;
  consolePump_->onWait = [&] {
    if (console_->screenAttrAt(2, 25) == kHighlight) last = row(25);
  };
  // From row 22 a 10-row list has 4 rows: Down four times scrolls by one.
  EXPECT_EQ(choose("{Down}{Down}{Down}{Down}{Down}\n", kPresentationMask, 22).name, "f14.ppt");
  EXPECT_EQ(last.substr(0, 9), " f14.ppt ");
  EXPECT_EQ(last[79], ' ') << "the last cell was written";
  console_->moveCursor(1, 22);
  console_->clearToLineEnd();
  EXPECT_EQ(screen(), before);
}

}  // namespace
}  // namespace lamina::chooser

// Help targets: the request a target makes, and a real program started for
// a document, receiving the target as one argument and no shell.
#include "speech/help_target.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "tests/speech/speech_fixture.h"

namespace lamina::speech {
namespace {

using testing::SpeechFixture;
using List = std::vector<std::string>;

class HelpTarget : public SpeechFixture {
 protected:
  std::vector<std::string> request(std::string_view target) {
    return helpRequest(target, front().config(), "/pasta").argv;
  }
  std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

TEST_F(HelpTarget, AddressesDocumentsAndPrograms) {
  writeIni("[ORALIS]\nPGMORALIS=/fam\nPROG.HTM=navega\nPROG.TXT=@\\edit.exe\n");
  EXPECT_EQ(request("www.a.br"), (List{"navega", "www.a.br"}));
  EXPECT_EQ(request("http://a.br"), (List{"navega", "http://a.br"}));
  // Capitals are no address: the extension after the first dot decides.
  EXPECT_EQ(request("HTTP://a.txt"), (List{"/fam\\edit.exe", "HTTP://a.txt"}));
  EXPECT_EQ(request("nota.txt"), (List{"/fam\\edit.exe", "nota.txt"}));
  EXPECT_EQ(request("txtos"), (List{"/fam\\edit.exe", "txtos"}));
  EXPECT_EQ(request("a.doc"), (List{"xdg-open", "a.doc"}));
  EXPECT_EQ(request("calc.exe"), (List{"/pasta/calc.exe"}));
  EXPECT_TRUE(helpRequest("calc.exe", front().config(), "/pasta").program);
  EXPECT_EQ(request("c:\\x\\y.com"), (List{"c:\\x\\y.com"}));
  EXPECT_EQ(request("/x.EXE"), (List{"/x.EXE"}));
  EXPECT_EQ(request(std::string(300, 'a') + ".txt")[1], std::string(255, 'a'));
  EXPECT_TRUE(request("").empty());
}

TEST_F(HelpTarget, ScriptGetsTheTargetAsOneArgumentAndNoShellRuns) {
  const auto dir = root_ / "work";
  std::filesystem::create_directories(dir);
  const auto script = root_ / "prog.sh";
  diphone::testing::writeText(script,
                              "#!/bin/sh\n"
                              "out=\"" +
                                  (root_ / "args").string() +
                                  "\"\n"
                                  "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; pwd;\n"
                                  "  readlink /proc/$$/fd/0; } > \"$out.tmp\"\n"
                                  "mv \"$out.tmp\" \"$out\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  writeIni("[ORALIS]\nPROG.TXT=" + script.string() + "\n");
  ASSERT_TRUE(start());
  platform::PosixProgramStarter starter;
  HelpTargets targets(front().config(), front().recorded(), starter);

  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  targets.openHelpTarget("nota.txt;touch pwned");
  // The program was started detached: no child of ours is left to reap.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  for (int i = 0; i < 200 && !std::filesystem::exists(root_ / "args"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::filesystem::current_path(before);
  EXPECT_EQ(readAll(root_ / "args"),
            "1\n[nota.txt;touch pwned]\n" + dir.string() + "\n/dev/null\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
  EXPECT_FALSE(std::filesystem::exists(root_ / "pwned"));

  // A program target starts only when it names an executable file.
  std::filesystem::remove(root_ / "args");
  std::filesystem::copy_file(script, root_ / "no.exe");
  std::filesystem::permissions(root_ / "no.exe", std::filesystem::perms::owner_read);
  targets.openHelpTarget((root_ / "no.exe").string());
  std::filesystem::copy_file(script, root_ / "ok.exe");
  targets.openHelpTarget((root_ / "ok.exe").string());
  for (int i = 0; i < 200 && !std::filesystem::exists(root_ / "args"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(readAll(root_ / "args"), "0\n" + before.string() + "\n/dev/null\n");
}

}  // namespace
}  // namespace lamina::speech

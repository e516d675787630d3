// The prompt catalogue's texts and the naming rule of the output file.
#include "converter/prompts.h"

#include <gtest/gtest.h>

#include "converter/sequence.h"

namespace lamina::converter {
namespace {

TEST(PromptCatalogue, KeysGiveTheirExactTextsAndUnknownKeysThemselves) {
  EXPECT_EQ(promptText("LMNOMARQ"), "Informe o arquivo PPT ou PPS a ler: ");
  EXPECT_EQ(promptText("LMNOMSAI"), "Informe o arquivo TXT de destino: ");
  EXPECT_EQ(promptText("LMDESIST"), "Desistiu");
  EXPECT_EQ(promptText("LMARQNAO"), "Arquivo inexistente");
  EXPECT_EQ(promptText("LMERRCRI"), "Erro ao criar o arquivo de saida");
  EXPECT_EQ(promptText("LMFIMAPR"), "Fim da convers\xE3o");
  EXPECT_EQ(promptText("LMERRAPR"), "Erro ao ler a apresenta\xE7\xE3o");
  EXPECT_NE(promptText("LMAPRSEN"), "LMAPRSEN");
  EXPECT_EQ(promptText("XYZ"), "XYZ");
  EXPECT_EQ(promptText("lmfimapr"), "lmfimapr") << "keys are case-sensitive";
  EXPECT_EQ(promptText(""), "");
}

TEST(OutputName, PresentationsGetTxtAndOtherNamesStayAsTyped) {
  EXPECT_EQ(outputNameFor("/apres/aula.ppt"), "/apres/aula.ppt.TXT");
  EXPECT_EQ(outputNameFor("notas.pps"), "notas.pps.TXT");
  EXPECT_EQ(outputNameFor("saida.PpT"), "saida.PpT.TXT");
  EXPECT_EQ(outputNameFor("saida.ppt "), "saida.ppt ");
  EXPECT_EQ(outputNameFor("notas.txt"), "notas.txt");
  EXPECT_EQ(outputNameFor("notas"), "notas");
  EXPECT_EQ(outputNameFor(""), "");
  EXPECT_EQ(outputNameFor(".PPT"), ".PPT.TXT");
  EXPECT_EQ(outputNameFor("PPT"), "PPT");
  // Every format the program reads, so an empty answer never names the
  // presentation itself.
  for (const char* name :
       {"aula.pptx", "a.PPSX", "a.pptm", "a.ppsm", "a.potx", "a.pot", "a.odp", "a.OTP", "a.fodp"}) {
    EXPECT_EQ(outputNameFor(name), std::string(name) + ".TXT") << name;
  }
  EXPECT_EQ(outputNameFor("aula.pptxt"), "aula.pptxt");
  // cp1252 letters before the ending change nothing.
  EXPECT_EQ(outputNameFor("Li\xE7\xE3o.ppt"), "Li\xE7\xE3o.ppt.TXT");
}

}  // namespace
}  // namespace lamina::converter

#include "app/help_text.h"

#ifndef LAMINA_VERSION
#define LAMINA_VERSION "0"
#endif

namespace lamina::app {

std::string helpText() {
  // Code page 1252 bytes, as octal escapes: unlike hex ones they end after
  // three digits, whatever letter follows.
  return "uso: lamina [OP\307\325ES] [APRESENTA\307\303O]\n"
         "     lamina --batch ARQUIVO... [-o SA\315DA] [--utf8]\n"
         "\n"
         "Converte uma apresenta\347\343o (.ppt, .pps, .pptx, .odp e outras) em um arquivo\n"
         "de texto, l\342mina por l\342mina, e fala o que est\341 fazendo num console de\n"
         "80 x 25 em letras grandes.\n"
         "Sem APRESENTA\307\303O, o programa pergunta o nome; as setas abrem a lista\n"
         "falada das apresenta\347\365es da pasta. Depois pergunta o nome do arquivo\n"
         "de texto: Enter sozinho usa o nome da apresenta\347\343o mais \".TXT\".\n"
         "\n"
         "Op\347\365es:\n"
         "  --batch ARQUIVO...  converte sem console e sem fala; cada sa\355da recebe o\n"
         "                      nome da entrada mais \".TXT\"\n"
         "    -o SA\315DA          (com --batch) o nome da sa\355da de um \372nico arquivo\n"
         "    --utf8            (com --batch) grava em UTF-8 em vez da p\341gina 1252\n"
         "  --demo-console      mostra a demonstra\347\343o do console\n"
         "  --console=sdl       o console numa janela (o padr\343o quando h\341 tela gr\341fica)\n"
         "  --console=terminal  o console no terminal de texto (o padr\343o sem tela gr\341fica\n"
         "                      quando a entrada e a sa\355da padr\343o s\343o um terminal)\n"
         "  --console=headless  sem janela: as teclas v\352m da entrada padr\343o como roteiro\n"
         "  --screen-dump ARQ   ao sair, grava as 25 linhas da tela e os seus atributos\n"
         "  --key-log ARQ       (demonstra\347\343o) acrescenta a ARQ os c\363digos das teclas\n"
         "  --log ARQ           acrescenta a ARQ os problemas encontrados\n"
         "  --help              mostra esta ajuda e termina\n"
         "  --version           mostra a vers\343o e termina\n"
         "\n"
         "Configura\347\343o: ORALIS.INI em $ORALIS_DIR, ou em ~/.config/oralis.\n"
         "Dados (vozes, sons gravados, exemplos): share/lamina ao lado do diret\363rio\n"
         "bin do programa, ou $LAMINA_DATA_DIR.\n"
         "C\363digos de sa\355da: 0 ao terminar normalmente; 1 quando --batch n\343o converteu\n"
         "algum arquivo; 2 quando a linha de comando n\343o foi entendida; 255 quando o\n"
         "programa foi interrompido (Ctrl+Break, Ctrl+C ou SIGTERM).\n"
         "\n"
         "Manual: man lamina\n";
}

std::string versionText() {
  return std::string("lamina ") + LAMINA_VERSION + "\n";
}

}  // namespace lamina::app

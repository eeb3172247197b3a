// pathmere: the GPS track logger's desktop program.
#include "ui/desktop_program.h"

int main(int argc, char** argv) { return pathmere::RunDesktopProgram(argc, argv); }

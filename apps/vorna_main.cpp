// vorna: the VORNA compiler. The editor window, or `vorna --compile SRC` without one.
#include "editor/program_main.h"

int main(int argc, char** argv) { return editor::programMain(argc, argv, editor::vornaProgram(), MOXY_VERSION); }

// quillon: the Quillon compiler. The editor window, or `quillon --compile SRC` without one.
#include "editor/program_main.h"

int main(int argc, char** argv) { return editor::programMain(argc, argv, editor::quillonProgram(), MOXY_VERSION); }

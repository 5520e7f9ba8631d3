// moxy: the MOXY runner. Reads a MOXY file whole and runs it in a window, or without
// one (--headless); --disasm lists it instead.
#include "runner/startup.h"

int main(int argc, char** argv) { return runner::runMoxy(argc, argv, MOXY_VERSION); }

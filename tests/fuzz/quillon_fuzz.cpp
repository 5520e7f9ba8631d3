// Compiles arbitrary bytes as Quillon source. Any crash, sanitizer report or unbounded
// allocation is a bug, and so is code left by an abandoned compile.
#include "quillon/compiler.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const moxy::CompileResult result = quillon::compile(source, [](const moxy::Diagnostic&) {}, [](int) {});
    if (result.abandoned && !result.code.empty())
        std::abort();
    return 0;
}

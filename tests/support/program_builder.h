// MOXY programs for tests and benchmarks; slot k is Quillon's k-th variable, cell 33150 + k.
#pragma once

#include "moxy/format.h"

#include <string>
#include <string_view>

namespace testing_support {

// A reference to slot [k] (0 <= k <= 124).
inline moxy::Writer& slot(moxy::Writer& writer, int k) { return writer.cell(130, 130 + k); }

// slot [k] := [text]
inline moxy::Writer& set(moxy::Writer& writer, int k, std::string_view text) {
    return slot(writer, k).op(moxy::Op::Clear).text(text);
}

// A program that loads the text file [path] into slot 1.
inline std::string loadFileProgram(std::string_view path) {
    moxy::Writer writer;
    set(writer, 0, path).op(moxy::Op::SetPar1);
    slot(writer, 1).system(moxy::SubCode::LoadFile);
    return writer.take();
}

// A program that writes [text] to the file [path].
inline std::string writeFileProgram(std::string_view path, std::string_view text) {
    moxy::Writer writer;
    set(writer, 0, path).op(moxy::Op::SetPar1);
    set(writer, 1, text).system(moxy::SubCode::WriteFile);
    return writer.take();
}

}  // namespace testing_support

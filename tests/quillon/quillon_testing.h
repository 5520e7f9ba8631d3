// Helpers for the Quillon compiler tests: compile a source while collecting messages and
// progress values, and show the code after the header as a listing.
#pragma once

#include "moxy/format.h"
#include "moxy/listing.h"
#include "quillon/compiler.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace quillon_testing {

struct Compiled {
    quillon::CompileResult result;
    std::vector<quillon::Diagnostic> diagnostics;
    std::vector<int> progress;

    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const quillon::Diagnostic& diagnostic : diagnostics)
            texts.push_back(diagnostic.text);
        return texts;
    }
};

inline Compiled compileSource(std::string_view source) {
    Compiled compiled;
    compiled.result = quillon::compile(
        source, [&](const quillon::Diagnostic& diagnostic) { compiled.diagnostics.push_back(diagnostic); },
        [&](int percent) { compiled.progress.push_back(percent); });
    return compiled;
}

// The code after the header, as raw characters ("<no header>" when the header is missing).
inline std::string bodyOf(const quillon::CompileResult& result) {
    if (result.code.substr(0, moxy::kQuillonHeader.size()) != moxy::kQuillonHeader)
        return "<no header>";
    return result.code.substr(moxy::kQuillonHeader.size());
}

// The listing of the code after the header.
inline std::string bodyListing(const quillon::CompileResult& result) { return moxy::listing(bodyOf(result)); }

// "dim[a]\r\ndim[b]\r\n..." for each name, CR LF after each, as the editor hands text over.
inline std::string declarations(std::initializer_list<std::string_view> names) {
    std::string source;
    for (std::string_view name : names) {
        source += "dim[";
        source += name;
        source += "]\r\n";
    }
    return source;
}

// The listing line of a reference to the slot with indices [first], [second].
inline std::string cellLine(int first, int second) {
    return "SelectCell " + std::to_string(moxy::cellNumber(first, second)) + "\n";
}

}  // namespace quillon_testing

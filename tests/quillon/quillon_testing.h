// Helpers for the Quillon compiler tests: compile a source while collecting messages and
// progress values, show the code after the header as a listing, and walk tables of sources
// with their expected listings and messages.
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
    moxy::CompileResult result;
    std::vector<moxy::Diagnostic> diagnostics;
    std::vector<int> progress;

    enum class Place { No, Yes };
    // Each message's text, after "LINE:COLUMN " with Place::Yes; warnings have tests of
    // their own.
    std::vector<std::string> messages(Place place = Place::No) const {
        std::vector<std::string> texts;
        for (const moxy::Diagnostic& d : diagnostics)
            if (d.severity == moxy::Severity::Error)
                texts.push_back((place == Place::Yes ? std::to_string(d.line) + ":" + std::to_string(d.column) + " " : "") +
                            d.text);
        return texts;
    }
};

inline Compiled compileSource(std::string_view source) {
    Compiled compiled;
    compiled.result = quillon::compile(
        source, [&](const moxy::Diagnostic& diagnostic) { compiled.diagnostics.push_back(diagnostic); },
        [&](int percent) { compiled.progress.push_back(percent); });
    return compiled;
}

// The code after the header, as raw characters ("<no header>" when the header is missing).
inline std::string bodyOf(const moxy::CompileResult& result) {
    if (result.code.substr(0, moxy::kQuillonHeader.size()) != moxy::kQuillonHeader)
        return "<no header>";
    return result.code.substr(moxy::kQuillonHeader.size());
}

// The listing of the code after the header.
inline std::string bodyListing(const moxy::CompileResult& result) { return moxy::listing(bodyOf(result)); }

// "dim[a]\r\ndim[b]\r\n..." for each name, CR LF after each, as the editor hands text over.
inline std::string declarations(std::initializer_list<std::string_view> names) {
    std::string source;
    for (std::string_view name : names)
        source.append("dim[").append(name).append("]\r\n");
    return source;
}

// The listing line of a reference to the slot with indices [first], [second].
inline std::string cellLine(int first, int second) {
    return "SelectCell " + std::to_string(moxy::cellNumber(first, second)) + "\n";
}

// a, b, c and d, the first four names declared, and the references to them.
inline const std::string kNames = declarations({"a", "b", "c", "d"});
inline const std::string kA = "SelectCell 33150\n", kB = "SelectCell 33151\n";
inline const std::string kC = "SelectCell 33152\n", kD = "SelectCell 33153\n";
inline const std::string kAb = kA + "SetPar1\n" + kB;     // a into Par1, b selected
inline const std::string kAbc = kAb + "SetPar2\n" + kC;   // and b into Par2, c selected
inline const std::string kAbcd = kAbc + "SetRes\n" + kD;  // and c into Res, d selected
inline const std::string kUndeclared = "Error: Variable doesnt exist. ";

// A source, the listing of the code after the header, and every message, in order.
struct ListingCase {
    std::string source;
    std::string listing;
    std::vector<std::string> messages = {};
};

// Compiles [prefix] followed by each case's source and checks the listing and the messages.
inline void expectListings(const std::vector<ListingCase>& cases, const std::string& prefix = kNames) {
    for (const ListingCase& c : cases) {
        SCOPED_TRACE(c.source);
        const Compiled compiled = compileSource(prefix + c.source);
        EXPECT_EQ(bodyListing(compiled.result), c.listing);
        EXPECT_EQ(compiled.messages(), c.messages);
    }
}

}  // namespace quillon_testing

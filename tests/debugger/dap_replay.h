// Feeds arbitrary bytes to a debugging session: the first byte picks the size of the pieces the
// rest arrives in; after every piece the program runs a bounded slice.
#pragma once

#include "debugger/fake_debuggee.h"
#include "debugger/session.h"

namespace testing_support {

inline void replayDap(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    debugger::Session session(
        [](const debugger::LaunchOptions&, std::string&) -> std::unique_ptr<debugger::Debuggee> {
            return std::make_unique<FakeDebuggee>(std::string("\x01\x82\x82\x1b" "12\xfc\x07" "a\xfe"), 3);
        },
        [](const std::string&) {});
    for (std::size_t at = 0; at < stream.size() && !session.finished(); at += piece) {
        session.feed(stream.substr(at, piece));
        session.runFor(20);
    }
}

}  // namespace testing_support

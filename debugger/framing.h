// The Debug Adapter Protocol's framing: every message is a header block of
// `Name: value` lines ending in an empty line, with `Content-Length: N`, then N bytes of
// JSON. MessageReader takes bytes as they arrive, split anywhere, and hands out whole
// message bodies; a broken header becomes an error item and the reader finds the next
// header. Memory stays bounded whatever arrives. No Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace debugger {

// The frame of one outgoing message: the header and [json].
std::string frame(std::string_view json);

class MessageReader {
public:
    static constexpr std::size_t kMaxHeader = 8192;
    static constexpr std::size_t kDefaultMaxBody = 16u << 20;

    // One item read: a whole message body, or the text of a framing error.
    struct Item {
        enum class Kind : std::uint8_t { Message, Error };
        Kind kind = Kind::Message;
        std::string text;
    };

    explicit MessageReader(std::size_t maxBody = kDefaultMaxBody) : m_maxBody(maxBody) {}

    // Takes the next bytes of the stream.
    void feed(std::string_view bytes);
    // The next item read, in stream order; false when none is complete yet.
    bool next(Item& item);

private:
    enum class State : std::uint8_t { Header, Body, Discard, Resync };

    void endHeader();
    void error(std::string text);

    std::size_t m_maxBody;
    State m_state = State::Header;
    std::string m_header;       // the header block so far
    std::string m_body;         // the body so far
    std::size_t m_remaining = 0;  // bytes still to come of the body (or to drop)
    std::deque<Item> m_items;
};

}  // namespace debugger

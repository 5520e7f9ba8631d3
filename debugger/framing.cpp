#include "debugger/framing.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace debugger {

namespace {

constexpr std::string_view kLengthName = "content-length";

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::string frame(std::string_view json) {
    std::string out = "Content-Length: " + std::to_string(json.size()) + "\r\n\r\n";
    out.append(json);
    return out;
}

void MessageReader::error(std::string text) {
    m_items.push_back({Item::Kind::Error, std::move(text)});
}

void MessageReader::feed(std::string_view bytes) {
    std::string carry;  // bytes read again after a header was found in the resync state
    while (!bytes.empty()) {
        switch (m_state) {
        case State::Header: {
            const char c = bytes.front();
            bytes.remove_prefix(1);
            // Line ends between messages are passed over.
            if (m_header.empty() && (c == '\r' || c == '\n'))
                break;
            m_header += c;
            if (m_header.size() >= 4 && m_header.compare(m_header.size() - 4, 4, "\r\n\r\n") == 0) {
                endHeader();
            } else if (m_header.size() > kMaxHeader) {
                error("header longer than " + std::to_string(kMaxHeader) + " bytes without an empty line");
                m_state = State::Resync;
                m_header.erase(0, m_header.size() - kLengthName.size());
            }
            break;
        }
        case State::Body: {
            const std::size_t take = std::min(m_remaining, bytes.size());
            m_body.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            m_remaining -= take;
            if (m_remaining == 0) {
                m_items.push_back({Item::Kind::Message, std::move(m_body)});
                m_body = std::string();
                m_state = State::Header;
            }
            break;
        }
        case State::Discard: {
            const std::size_t take = std::min<std::size_t>(m_remaining, bytes.size());
            bytes.remove_prefix(take);
            m_remaining -= take;
            if (m_remaining == 0)
                m_state = State::Header;
            break;
        }
        case State::Resync: {
            // Looks for the next header: the next "Content-Length" (any case). Keeps only
            // as much of the stream as the name is long.
            const std::size_t take = std::min<std::size_t>(bytes.size(), kMaxHeader);
            m_header.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            const std::size_t found = lowered(m_header).find(kLengthName);
            if (found != std::string::npos) {
                // The header from its name on is read again in the header state.
                std::string again = m_header.substr(found);
                again.append(bytes);
                carry = std::move(again);
                bytes = carry;
                m_header.clear();
                m_state = State::Header;
                break;
            }
            if (m_header.size() > kLengthName.size())
                m_header.erase(0, m_header.size() - kLengthName.size());
            break;
        }
        }
    }
}

void MessageReader::endHeader() {
    std::string_view block(m_header);
    block.remove_suffix(4);
    std::optional<std::size_t> length;
    std::string problem;
    bool oversized = false;
    bool uncounted = false;  // too many digits to count
    while (problem.empty()) {
        const std::size_t end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            problem = "malformed header line (no colon)";
            break;
        }
        if (lowered(trimmed(line.substr(0, colon))) == kLengthName) {
            const std::string_view value = trimmed(line.substr(colon + 1));
            if (length) {
                problem = "duplicate Content-Length";
                break;
            }
            if (value.empty() || !std::all_of(value.begin(), value.end(),
                                               [](char c) { return c >= '0' && c <= '9'; })) {
                problem = "Content-Length is not a number";
                break;
            }
            std::size_t number = 0;
            for (char c : value) {
                if (number > m_maxBody) {
                    uncounted = true;
                    break;
                }
                number = number * 10 + static_cast<std::size_t>(c - '0');
            }
            length = number;
            oversized = number > m_maxBody;
        }
        if (end == std::string_view::npos)
            break;
        block.remove_prefix(end + 2);
    }
    m_header.clear();
    if (problem.empty() && !length)
        problem = "missing Content-Length";
    if (!problem.empty()) {
        error(problem);
        m_state = State::Resync;
        return;
    }
    if (oversized || uncounted) {
        error("message longer than the limit of " + std::to_string(m_maxBody) + " bytes");
        // The body is dropped without being kept; a length too big to count is passed
        // over by looking for the next header instead.
        m_remaining = *length;
        m_state = uncounted ? State::Resync : State::Discard;
        return;
    }
    m_remaining = *length;
    m_body.clear();
    m_state = State::Body;
    if (m_remaining == 0) {
        m_items.push_back({Item::Kind::Message, std::string()});
        m_state = State::Header;
    }
}

bool MessageReader::next(Item& item) {
    if (m_items.empty())
        return false;
    item = std::move(m_items.front());
    m_items.pop_front();
    return true;
}

}  // namespace debugger

#include "runner/headless_host.h"

#include "runner/keys.h"
#include "runner/run_error.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace runner {

std::optional<std::vector<KeyEvent>> parseKeyScript(std::string_view script, std::string* reason) {
    std::vector<KeyEvent> events;
    std::size_t at = 0;
    while (at < script.size()) {
        if (script[at] == ' ') {
            ++at;
            continue;
        }
        std::size_t end = script.find(' ', at);
        if (end == std::string_view::npos)
            end = script.size();
        const std::string_view word = script.substr(at, end - at);
        at = end;
        const std::size_t colon = word.find(':');
        const auto fail = [&](const std::string& why) {
            if (reason)
                *reason = "\"" + std::string(word) + "\": " + why;
            return std::nullopt;
        };
        if (colon == std::string_view::npos || colon == 0 || word.size() < colon + 3)
            return fail("expected N:KEY+ or N:KEY-");
        long long yield = 0;
        for (char c : word.substr(0, colon)) {
            if (c < '0' || c > '9' || yield > 1000000000000LL)
                return fail("the yield number must be a whole number from 1");
            yield = yield * 10 + (c - '0');
        }
        if (yield < 1)
            return fail("the yield number must be a whole number from 1");
        const char change = word.back();
        if (change != '+' && change != '-')
            return fail("the key must end with + (press) or - (release)");
        const auto key = keyNamed(word.substr(colon + 1, word.size() - colon - 2));
        if (!key)
            return fail("unknown key; use A-Z, 0-9, Up, Down, Left, Right, Enter or Space");
        events.push_back(KeyEvent{yield, *key, change == '+'});
    }
    std::stable_sort(events.begin(), events.end(), [](const KeyEvent& a, const KeyEvent& b) { return a.yield < b.yield; });
    return events;
}

HeadlessHost::HeadlessHost(Settings settings) : BasicHost(settings.basic), m_settings(std::move(settings)) {}

void HeadlessHost::pumpEvents() {
    ++m_yields;
    const std::vector<KeyEvent>& keys = m_settings.keys;
    while (m_nextKey < keys.size() && keys[m_nextKey].yield <= m_yields) {
        m_keysDown[static_cast<int>(keys[m_nextKey].key)] = keys[m_nextKey].down;
        ++m_nextKey;
    }
}

std::string HeadlessHost::inputBox(std::string_view prompt) {
    std::fwrite(prompt.data(), 1, prompt.size(), m_settings.prompts);
    std::fputc('\n', m_settings.prompts);
    std::fflush(m_settings.prompts);
    std::string answer;
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(m_settings.input)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        answer += static_cast<char>(c);
    }
    if (!any)
        return std::string();  // end of input counts as Cancel
    if (!answer.empty() && answer.back() == '\r')
        answer.pop_back();
    return answer;
}

void HeadlessHost::messageBox(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), m_settings.output);
    std::fputc('\n', m_settings.output);
    std::fflush(m_settings.output);
}

void HeadlessHost::setWindowWidth(double pixels) { canvas().resize(windowPixels(pixels), canvas().height()); }
void HeadlessHost::setWindowHeight(double pixels) { canvas().resize(canvas().width(), windowPixels(pixels)); }
void HeadlessHost::setWindowTop(double pixels) { m_top = screenPixels(pixels); }
void HeadlessHost::setWindowLeft(double pixels) { m_left = screenPixels(pixels); }

}  // namespace runner

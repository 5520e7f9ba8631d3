// How many warnings one compile reports. No Qt.
#pragma once

#include <string>

namespace scan {

// A compile reports at most kMost warnings and then one that counts the rest (1000 lines,
// as many as --compile shows): a source that warns everywhere costs no more than one that
// warns now and then. Callers ask take() before they build a warning's text.
class WarningBudget {
public:
    static constexpr long long kMost = 999;

    // [reporting]: somebody receives the warnings; without, take() always says no.
    explicit WarningBudget(bool reporting) : m_reporting(reporting) {}

    // Whether one more warning is reported; a refused one is counted.
    bool take() {
        if (!m_reporting)
            return false;
        if (m_reported >= kMost) {
            ++m_unreported;
            return false;
        }
        ++m_reported;
        return true;
    }
    long long unreported() const { return m_unreported; }
    // The text of the last warning, when some were not reported.
    std::string summary() const { return std::to_string(m_unreported) + " more warnings not reported"; }

private:
    bool m_reporting;
    long long m_reported = 0;
    long long m_unreported = 0;
};

}  // namespace scan

#include "debugger/event_loop_driver.h"

#include <cerrno>
#include <unistd.h>

namespace debugger {

namespace {
// A slice runs steps in batches of this many until this much time has passed.
constexpr std::uint64_t kBatch = 5000;
constexpr qint64 kSliceMilliseconds = 8;
// While the program waits (for a dialog's answer, say) the slices come this far apart.
constexpr int kWaitingInterval = 10;
}  // namespace

EventLoopDriver::EventLoopDriver(Session& session, int inFd, std::function<void()> ended)
    : m_session(session), m_inFd(inFd), m_ended(std::move(ended)), m_notifier(inFd, QSocketNotifier::Read) {
    m_timer.setSingleShot(true);
    QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { readInput(); });
    QObject::connect(&m_timer, &QTimer::timeout, [this] { runSlice(); });
}

void EventLoopDriver::readInput() {
    char buffer[65536];
    const ssize_t count = ::read(m_inFd, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        end();
        return;
    }
    m_session.feed(std::string_view(buffer, static_cast<std::size_t>(count)));
    wake();
}

void EventLoopDriver::wake() {
    if (m_session.finished()) {
        end();
        return;
    }
    if (m_session.running() && !m_timer.isActive())
        m_timer.start(0);
}

void EventLoopDriver::runSlice() {
    QElapsedTimer clock;
    clock.start();
    std::uint64_t executed = 0;
    do {
        const std::uint64_t batch = m_session.runFor(kBatch);
        executed += batch;
        if (batch == 0)
            break;
    } while (m_session.running() && clock.elapsed() < kSliceMilliseconds);
    if (m_session.running())
        m_timer.start(executed == 0 ? kWaitingInterval : 0);
}

void EventLoopDriver::end() {
    if (m_over)
        return;
    m_over = true;
    m_notifier.setEnabled(false);
    m_timer.stop();
    if (m_ended)
        m_ended();
}

}  // namespace debugger

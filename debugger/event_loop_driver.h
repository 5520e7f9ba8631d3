// Drives a Session from the Qt event loop, for the runner's window: the client's bytes
// arrive through a socket notifier on the input descriptor, and while the program runs a
// zero-interval timer runs it in slices of a few milliseconds, so that the window paints,
// takes its events and reads a pause request between two slices. Qt Core only.
#pragma once

#include "debugger/session.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace debugger {

class EventLoopDriver {
public:
    // Reads the client from [inFd]; [ended] is called once, when the session has ended
    // (disconnect) or the input has ended.
    EventLoopDriver(Session& session, int inFd, std::function<void()> ended);

    // Starts running slices if the session runs; call after feeding the session yourself.
    void wake();

private:
    void readInput();
    void runSlice();
    void end();

    Session& m_session;
    int m_inFd;
    std::function<void()> m_ended;
    QSocketNotifier m_notifier;
    QTimer m_timer;
    bool m_over = false;
};

}  // namespace debugger

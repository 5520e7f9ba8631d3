#include "debugger/stdio_loop.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace debugger {

Session::Send frameWriter(int fd) {
    return [fd](const std::string& json) {
        const std::string bytes = frame(json);
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return;  // the client has gone; its end of input ends the loop
            written += static_cast<std::size_t>(count);
        }
    };
}

bool serve(Session& session, int inFd, std::uint64_t slice) {
    char buffer[65536];
    bool waiting = false;  // the last slice executed nothing: the program waits
    while (!session.finished()) {
        pollfd input{inFd, POLLIN, 0};
        const int ready = ::poll(&input, 1, !session.running() ? -1 : waiting ? 10 : 0);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (ready > 0) {
            const ssize_t count = ::read(inFd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                return false;
            if (count == 0)
                return true;  // the client closed its end
            session.feed(std::string_view(buffer, static_cast<std::size_t>(count)));
        }
        waiting = session.running() && session.runFor(slice) == 0;
    }
    return true;
}

}  // namespace debugger

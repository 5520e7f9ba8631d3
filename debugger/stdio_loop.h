// A plain driver for a Session on two file descriptors (standard input and output for
// `moxy --debug-adapter --headless`): it waits for input only while the program is
// stopped, and while it runs it runs slices with a look at the input between them, so
// that a pause arrives within one slice. A window drives the Session from its event loop
// instead. POSIX, no Qt.
#pragma once

#include "debugger/session.h"

#include <cstdint>

namespace debugger {

// The Send of a Session that frames every message and writes it whole to [fd].
Session::Send frameWriter(int fd);

// Drives [session] from [inFd] until the session has ended (disconnect) or the input has
// ended; runs [slice] steps between two looks at the input. Returns false when reading
// failed.
bool serve(Session& session, int inFd, std::uint64_t slice = 20000);

}  // namespace debugger

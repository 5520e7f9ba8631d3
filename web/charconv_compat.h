// Emscripten's C++ library (LLVM 14) lacks the floating-point std::to_chars. The runner's
// number texts use only its scientific form with a precision; printf's %.*e gives the
// same correctly rounded digits in the same layout. Included in front of every source of
// the browser's runner.
#pragma once

#include <charconv>
#include <cstdio>
#include <system_error>

#if defined(__EMSCRIPTEN__) && defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 15000
namespace std {
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format, int precision) {
    if (format != chars_format::scientific)
        return {last, errc::value_too_large};
    const int written = std::snprintf(first, static_cast<size_t>(last - first), "%.*e", precision, value);
    if (written < 0 || written >= last - first)
        return {last, errc::value_too_large};
    return {first + written, errc{}};
}
}  // namespace std
#endif

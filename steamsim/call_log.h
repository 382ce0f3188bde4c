// The call log: one line per flat call (and per delivery the simulator makes
// inside SteamAPI_RunCallbacks), kept in memory and, when STEAMSIM_LOG names
// a file, appended to that file as it happens.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <type_traits>

#include "float_text.h"

namespace steamsim {

// Text as the log shows it: printable ASCII as is, every other byte and the
// characters " and \ as \xNN (two lower-case hex digits). At most max bytes
// are read, stopping at the first NUL.
std::string escape(const char* text, std::size_t max = static_cast<std::size_t>(-1));

// Builds one line: the function name, then " key=value" per argument.
class LogLine {
public:
    explicit LogLine(const char* function) : text_(function) {}

    // key="text" (escaped), or key=null for a null pointer.
    LogLine& str(const char* key, const char* value,
                 std::size_t max = static_cast<std::size_t>(-1));
    // key=set or key=null: a pointer argument whose contents are not shown.
    LogLine& ptr(const char* key, const void* value);
    LogLine& flag(const char* key, bool value);
    LogLine& real(const char* key, float value);
    LogLine& raw(const char* key, const std::string& value);

    template <class T, class = std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>>
    LogLine& num(const char* key, T value) {
        return raw(key, std::to_string(value));
    }

    const std::string& text() const { return text_; }

private:
    std::string text_;
};

class CallLog {
public:
    CallLog() = default;
    ~CallLog();
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;

    // (Re)opens the file named by STEAMSIM_LOG, or none when it is unset.
    void openFromEnvironment();

    void add(const std::string& line);
    void add(const LogLine& line) { add(line.text()); }
    // Every line so far, each ending in '\n' (in memory, the most recent
    // 8 MiB or so; the file has every line).
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }

private:
    std::string text_;
    std::FILE* file_ = nullptr;
};

}  // namespace steamsim

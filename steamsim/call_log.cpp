#include "call_log.h"

#include <cstdlib>

namespace steamsim {

std::string escape(const char* text, std::size_t max) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < max && text[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\') {
            out += static_cast<char>(byte);
        } else {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0x0f];
        }
    }
    return out;
}

LogLine& LogLine::str(const char* key, const char* value, std::size_t max) {
    if (value == nullptr) return raw(key, "null");
    return raw(key, "\"" + escape(value, max) + "\"");
}

LogLine& LogLine::ptr(const char* key, const void* value) {
    return raw(key, value != nullptr ? "set" : "null");
}

LogLine& LogLine::flag(const char* key, bool value) { return raw(key, value ? "true" : "false"); }

LogLine& LogLine::real(const char* key, float value) { return raw(key, formatFloat(value)); }

LogLine& LogLine::raw(const char* key, const std::string& value) {
    text_ += ' ';
    text_ += key;
    text_ += '=';
    text_ += value;
    return *this;
}

void CallLog::openFromEnvironment() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    const char* path = std::getenv("STEAMSIM_LOG");
    if (path != nullptr && *path != '\0') {
        file_ = std::fopen(path, "a");
        if (file_ == nullptr)
            std::fprintf(stderr, "steamsim: cannot open the call log file %s\n", path);
    }
}

CallLog::~CallLog() {
    if (file_ != nullptr) std::fclose(file_);
}

void CallLog::add(const std::string& line) {
    // A game that pumps for hours must not grow the log without end: past the
    // bound, the older half of the lines in memory goes (the file keeps all).
    constexpr std::size_t mostBytes = 8u << 20;
    if (text_.size() + line.size() >= mostBytes) {
        const std::size_t cut = text_.find('\n', text_.size() / 2);
        text_.erase(0, cut == std::string::npos ? text_.size() : cut + 1);
    }
    text_ += line;
    text_ += '\n';
    if (file_ != nullptr) {
        std::fputs(line.c_str(), file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }
}

}  // namespace steamsim

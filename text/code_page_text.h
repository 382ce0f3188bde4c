// Windows' conversions between its code pages and UTF-16, the one pair both
// deliverables use: a program's narrow text handed to a wide call (a
// command line, an environment block), and a legacy code page's text read as
// UTF-8.
#pragma once

#ifdef _WIN32

#include <string>

// The UTF-16 text of bytes in codePage (CP_ACP: the process's own); empty when
// they do not convert.
std::wstring wideFrom(unsigned codePage, const std::string& text);

// wide as UTF-8; empty when it does not convert.
std::string utf8From(const std::wstring& wide);

#endif

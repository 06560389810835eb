// Code page 932 bytes of a UTF-8 text, for comparing with what the ANSI calls return.
#ifndef TESTS_SUPPORT_SJIS_H
#define TESTS_SUPPORT_SJIS_H

#include <windows.h>
#include <string>

inline std::string Sjis(const std::string& utf8)
{
    int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(wide, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &w[0], wide);
    int bytes = WideCharToMultiByte(932, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(932, 0, w.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(bytes > 0 ? bytes - 1 : 0);
    return out;
}

#endif

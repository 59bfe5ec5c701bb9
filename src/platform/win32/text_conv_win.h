#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tessaro::win {

// Conversions between our UTF-8 strings, the wide strings of the W APIs and the ANSI code page of file
// contents. Lengths are explicit, so embedded NULs survive; invalid input becomes replacement characters.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::wstring AnsiToWide(std::string_view ansi);
// Characters the ANSI code page cannot hold become its default character.
std::string WideToAnsi(std::wstring_view wide);
// Appends text known to be ASCII (names and digits of our own), each char widened as it is: no conversion call.
void AppendAscii(std::wstring& text, std::string_view ascii);

// The system's own text for a Win32 error code or an HRESULT, without the trailing line break; empty when the
// system has none.
std::string SystemMessageText(DWORD code);

// Like SystemMessageText for an HRESULT, but never empty: the fallback stands in when the system has no text.
// `insert` fills the system text's "%1" (the path a message such as "%1 的 EXE 格式无效" is about).
std::string ErrorText(HRESULT hr, std::string_view fallback = "自动化错误", std::string_view insert = {});

// The HRESULT for the calling thread's last Win32 error (E_FAIL when the failing call left none).
HRESULT LastErrorResult();

}  // namespace tessaro::win

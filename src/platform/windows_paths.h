#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// Rules of Windows file names that the core needs before it hands a name to the system.

// A drive path ("C:\...", "C:/...") or a UNC path ("\\server\share\..."). A folder named in any other way
// ("GMS", "\GMS", "C:GMS") depends on the current folder or drive.
bool IsAbsoluteWindowsPath(std::string_view path);

// The Win32 calls take names up to their first NUL, so a name holding one names a different, shorter file.
bool ContainsNul(std::string_view text);
// The text with every NUL written as "\x00", for the log and the message boxes: a raw NUL would end the text
// there, hiding the rest of the name, and has no place in a text file.
std::string WithVisibleNul(std::string_view text);

// Whether the last component of `path` is a reserved device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9,
// CONIN$, CONOUT$), which Windows opens as the device in any folder and with any extension ("nul.txt").
bool NamesDevice(std::string_view path);

}  // namespace tessaro

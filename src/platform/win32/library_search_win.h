#pragma once

#include <windows.h>

namespace tessaro::win {

// An installer is often started from a Downloads folder full of other people's files. Called first thing, before
// any DLL beyond the import table is loaded: from then on no library is taken from the program's folder or the
// current one, on every supported Windows, with or without the newer search-path calls.
void RestrictLibrarySearch();

// The common controls, version 6 where the manifest binds it, loaded without searching the program's folder.
// Null when they cannot be loaded.
HMODULE LoadCommonControls();

}  // namespace tessaro::win

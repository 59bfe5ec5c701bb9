#pragma once

// Resource IDs shared by tessaro.rc and the C++ code; keep them plain numbers so rc can read them too.
#define IDI_APP_ICON 1
#define IDB_BANNER 201

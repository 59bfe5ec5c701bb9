#pragma once

#include <windows.h>

namespace corel_standin {

// The class of the stand-in application object, as registered under CorelDRAW.Application.13.
// {574AB38F-EED3-4D08-8F18-9B8A52A75264}
inline constexpr CLSID kApplicationClsid = {0x574ab38f,
                                            0xeed3,
                                            0x4d08,
                                            {0x8f, 0x18, 0x9b, 0x8a, 0x52, 0xa7, 0x52, 0x64}};

// Makes the object the class factory hands out. CorelDRW.ini is read afresh for each one.
HRESULT CreateApplication(REFIID riid, void** object);

}  // namespace corel_standin

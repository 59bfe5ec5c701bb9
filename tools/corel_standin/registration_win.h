#pragma once

namespace corel_standin {

// /RegServer and /UnregServer: the ProgID CorelDRAW.Application.13 and its CLSID with LocalServer32 pointing at
// this program file. True on success.
bool RegisterServer();
bool UnregisterServer();

}  // namespace corel_standin

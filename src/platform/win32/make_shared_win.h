#pragma once

#include <memory>
#include <utility>

namespace tessaro::win {

// std::make_shared, for a build without RTTI: libstdc++'s make_shared then compares type_info through a library
// function whose object file brings in the whole exception runtime (about 40 KB). A separate control block costs
// one more allocation and nothing else.
template <class T, class... Args>
std::shared_ptr<T> MakeShared(Args&&... args) {
    return std::shared_ptr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace tessaro::win

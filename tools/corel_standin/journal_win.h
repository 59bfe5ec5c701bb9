#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace corel_standin {

// CorelDRW.journal beside the program: one UTF-8 line with CR LF per call. Each line is appended and the file
// closed again at once, so nothing is lost when the server is killed or dies on purpose right afterwards.
class Journal {
  public:
    explicit Journal(std::wstring path) : path_(std::move(path)) {}

    void Write(std::string_view line) const;

  private:
    std::wstring path_;
};

}  // namespace corel_standin

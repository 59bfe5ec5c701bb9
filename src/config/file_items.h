#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// The task table: indexed by field (0 kind, 1 file or toolbar, 2 required flag, 3 target or arguments,
// 4 caption) and then by task number. It has no bounds at all until the first "fileitem" line is read.
class FileItemsTable {
  public:
    static constexpr int kFieldCount = 5;

    bool HasBounds() const { return hasBounds_; }
    std::size_t TaskCount() const { return tasks_.size(); }
    // The highest task index, or -1 while the table has no bounds.
    int32_t UpperBound() const { return static_cast<int32_t>(tasks_.size()) - 1; }

    // Makes room for exactly `taskCount` tasks and keeps what is there. Growth is amortised, so a file with many
    // task lines costs linear time, not a copy of the table per line.
    void ResizeTasks(std::size_t taskCount);
    void SetField(int field, std::size_t task, std::string value);
    const std::string& Field(int field, std::size_t task) const;

  private:
    bool hasBounds_ = false;
    std::vector<std::array<std::string, kFieldCount>> tasks_;
};

// True once the table was given bounds, that is once any "fileitem" line was read.
bool ArrayHasElements(const FileItemsTable& table);

}  // namespace tessaro

#include "config/file_items.h"

#include <utility>

namespace tessaro {

void FileItemsTable::ResizeTasks(std::size_t taskCount) {
    hasBounds_ = true;
    tasks_.resize(taskCount);
}

void FileItemsTable::SetField(int field, std::size_t task, std::string value) {
    tasks_.at(task).at(static_cast<std::size_t>(field)) = std::move(value);
}

const std::string& FileItemsTable::Field(int field, std::size_t task) const {
    return tasks_.at(task).at(static_cast<std::size_t>(field));
}

bool ArrayHasElements(const FileItemsTable& table) {
    return table.HasBounds();
}

}  // namespace tessaro

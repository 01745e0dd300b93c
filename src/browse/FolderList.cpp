#include "FolderList.h"

#include "FileNames.h"
#include "Files.h"

#include <algorithm>

namespace vistrel {

void FolderList::build(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return;
    folder_ = path.substr(0, slash + 1);
    removeAll();

    const std::vector<std::string> entries = listFolder(folder_);
    std::string_view rest = patterns;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view pattern = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (pattern.empty()) continue;
        for (const std::string& entry : entries)
            if (matchesPattern(entry, pattern)) names_.push_back({entry, collationKey(entry)});
    }
    if (sorted)
        std::sort(names_.begin(), names_.end(),
                  [](const Name& a, const Name& b) { return before(a, b.key, b.name); });
}

int32_t FolderList::indexOf(std::string_view name) const {
    const std::wstring key = collationKey(name);
    const auto found = std::partition_point(names_.begin(), names_.end(),
                                            [&](const Name& n) { return before(n, key, name); });
    return found == names_.end() ? -1 : int32_t(found - names_.begin());
}

std::string FolderList::pathAt(int32_t index) const {
    if (index < 0 || index >= count()) return {};
    return folder_ + names_[std::size_t(index)].name;
}

void FolderList::removeAt(int32_t index) {
    if (index < 0 || index >= count()) return;
    names_.erase(names_.begin() + index);
}

void FolderList::removeAll() {
    names_.clear();
}

} // namespace vistrel

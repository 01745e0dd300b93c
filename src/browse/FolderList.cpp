#include "FolderList.h"

#include "FileNames.h"
#include "Files.h"

#include <algorithm>

namespace vistrel {

namespace {

// Takes the next pattern off the front of the comma-separated `rest`.
std::string_view nextPattern(std::string_view& rest) {
    const std::size_t comma = rest.find(',');
    const std::string_view pattern = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    return pattern;
}

} // namespace

void FolderList::build(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return;
    folder_ = path.substr(0, slash + 1);
    assigned_ = false;
    removeAll();

    const std::vector<std::string> entries = listFolder(folder_);
    std::string_view rest = patterns;
    while (!rest.empty()) {
        const std::string_view pattern = nextPattern(rest);
        if (pattern.empty()) continue;
        for (const std::string& entry : entries)
            if (matchesPattern(entry, pattern)) names_.push_back({entry, keyOf(entry)});
    }
    if (sorted)
        std::sort(names_.begin(), names_.end(),
                  [](const Name& a, const Name& b) { return before(a, b.key, b.name); });
}

bool FolderList::add(std::string_view name) {
    // A command line's own list does not follow the folder.
    if (assigned_ || name.empty() || findName(name) >= 0) return false;
    std::string_view rest = patterns;
    bool matches = false;
    while (!rest.empty() && !matches) {
        const std::string_view pattern = nextPattern(rest);
        matches = !pattern.empty() && matchesPattern(name, pattern);
    }
    if (!matches) return false;
    Name added{std::string(name), keyOf(name)};
    auto place = names_.end();
    if (sorted)
        place = std::partition_point(names_.begin(), names_.end(), [&](const Name& n) {
            return before(n, added.key, added.name);
        });
    names_.insert(place, std::move(added));
    return true;
}

int32_t FolderList::findName(std::string_view name) const {
    if (assigned_) return -1; // assigned files are listed by their paths
    if (!sorted) {
        const auto found = std::find_if(names_.begin(), names_.end(),
                                        [&](const Name& n) { return n.name == name; });
        return found == names_.end() ? -1 : int32_t(found - names_.begin());
    }
    const int32_t index = indexOf(name);
    return index >= 0 && names_[std::size_t(index)].name == name ? index : -1;
}

std::wstring FolderList::keyOf(std::string_view name) const {
    return natural ? naturalKey(name) : collationKey(name);
}

int32_t FolderList::indexOf(std::string_view name) const {
    const std::wstring key = keyOf(name);
    const auto found = std::partition_point(names_.begin(), names_.end(),
                                            [&](const Name& n) { return before(n, key, name); });
    return found == names_.end() ? -1 : int32_t(found - names_.begin());
}

void FolderList::assign(std::vector<std::string> paths) {
    folder_.clear();
    assigned_ = true;
    names_.clear();
    for (std::string& path : paths)
        names_.push_back({std::move(path), {}});
}

int32_t FolderList::find(std::string_view path) const {
    if (assigned_) {
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (names_[i].name == path) return int32_t(i);
        return -1;
    }
    const std::string_view name = fileNameOf(path);
    if (path.substr(0, path.size() - name.size()) != folder_) return -1;
    return findName(name);
}

int32_t FolderList::placeOf(std::string_view path) const {
    if (assigned_) return path.empty() ? 0 : find(path);
    const std::string_view name = fileNameOf(path);
    if (!path.empty() && path.substr(0, path.size() - name.size()) != folder_) return -1;
    const int32_t index = indexOf(name);
    return index < 0 ? count() : index;
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

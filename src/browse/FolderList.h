// The ordered list of the viewable files of one folder: what stepping to the previous or next
// picture walks through.
#pragma once

#include "PictureFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel {

class FolderList {
public:
    // Lists the folder of `path` (the text up to its last "/"): every entry matching a pattern,
    // pattern by pattern in order, then sorted when `sorted` is set. Nothing is filtered or
    // merged; folders whose names match are listed too. A path without "/" changes nothing; a
    // folder that cannot be read gives an empty list.
    void build(const std::string& path);
    // Lists the files at `paths` (full paths) in their order instead of a folder: the files of a
    // command line naming several, stepped through as given.
    void assign(std::vector<std::string> paths);
    // Lists `name` at its place (at the end when unsorted) in a folder's list unless it is listed
    // already or matches no pattern; whether it was added. A file that came into the folder.
    bool add(std::string_view name);
    // The position of exactly the name `name` in a folder's list, or -1.
    int32_t findName(std::string_view name) const;
    // Lower bound: the position of the first name that does not sort before `name` (an exact
    // match is not required), or -1 when every name sorts before it.
    int32_t indexOf(std::string_view name) const;
    // The position of the file at `path`, or -1 when it is not listed.
    int32_t find(std::string_view path) const;
    // Where the file at `path` stands or would stand: its position, or that of the first name
    // sorting after it (count() when none does) for a file of the folder that is not listed. A
    // path without a name (a pasted picture) stands first. -1 for a path of another folder, or not
    // among the files assigned.
    int32_t placeOf(std::string_view path) const;
    // The folder followed by the name at `index`; empty when the index is out of range.
    std::string pathAt(int32_t index) const;
    // Drops the name at `index` (later names move up); nothing when out of range.
    void removeAt(int32_t index);
    void removeAll();
    int32_t count() const { return int32_t(names_.size()); }

    const std::string& folder() const { return folder_; }
    const std::string& nameAt(int32_t index) const { return names_[std::size_t(index)].name; }

    // Comma-separated listing patterns, matched without regard to ASCII case: by default the
    // extensions of every row of the format table.
    std::string patterns = listingPatterns();
    // Sort the names after building.
    bool sorted = true;
    // Sort numbers in names by their value and "." first, as file managers do (naturalKey);
    // otherwise in the plain collation order (collationKey). Set before building.
    bool natural = true;

private:
    struct Name {
        std::string name;
        std::wstring key; // keyOf(name), computed once
    };
    std::wstring keyOf(std::string_view name) const;
    // Names that collate equal (differing only in case, which a case-sensitive file system
    // allows) are told apart by their bytes, so that every listed name is found at its own place.
    static bool before(const Name& a, const std::wstring& key, std::string_view name) {
        if (a.key != key) return a.key < key;
        return std::string_view(a.name) < name;
    }

    std::vector<Name> names_;
    std::string folder_; // with its trailing "/"; empty for assigned files, whose names are paths
    bool assigned_ = false;
};

} // namespace vistrel

// The file system as the program reaches it. Paths are UTF-8 with "/" between names on every
// system; on Windows the implementation turns them into the wide-character form the system's
// own calls take (a name outside the user's code page opens too), and hands paths back the same
// way. POSIX: FilesPosix.cpp; Windows: win/FilesWin.cpp.
#pragma once

#include "DecodeResult.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

// A regular file opened for reading, with its size measured once at open. Reads name their
// offset, so that one file can be read from in any order and from any thread.
class InputFile {
public:
    InputFile() = default;
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Only regular files are read. Opening anything else may wait or act: a FIFO named like a
    // picture blocks until a writer comes, a device may rewind or hang up. So a folder, a FIFO or
    // a device is refused without waiting (Refusal::NotRegularFile); a file that is missing or
    // cannot be read is Refusal::CannotOpen. The system is told the file will be read front to
    // back.
    DecodeResult open(const char* path);
    void close();
    bool isOpen() const { return handle_ != kClosed; }
    uint64_t size() const { return size_; }
    // Copies up to `count` bytes from `offset`; returns how many there were (0 past the end).
    std::size_t readAt(uint64_t offset, void* destination, std::size_t count) const;

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed; // a file descriptor, or a Windows file handle
    uint64_t size_ = 0;
};

// A file written front to back: made anew, or emptied when it exists.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the file cannot be made or opened for writing.
    bool create(const char* path);
    // False when not every byte could be written.
    bool write(const void* data, std::size_t size);
    // False when the file was not open or the system reports the close failed (the data may not
    // have reached the disk).
    bool close();
    // Whether what `create` opened is a regular file: only a file of the program's own making is
    // removed after a failed write, never a device or a pipe someone named.
    bool regular() const { return regular_; }

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;
    bool regular_ = false;
};

enum class FileKind { Missing, Regular, Folder, Other };

// What the path names, links followed.
FileKind fileKind(const char* path);
inline bool isRegularFile(const std::string& path) {
    return fileKind(path.c_str()) == FileKind::Regular;
}
// The system's words for why the file cannot be opened for reading ("No such file or
// directory"); empty when it can be.
std::string whyUnreadable(const char* path);
// Removes a file (not a folder); false when it could not.
bool removeFile(const char* path);
// Makes a folder (its parent must exist); true when the folder is there afterwards, made now or
// before.
bool makeFolder(const char* path);

// The names in a folder, "." and ".." left out, in the order the file system gives them; empty
// when the folder cannot be read.
std::vector<std::string> listFolder(const std::string& folder);

// The path made absolute from the working folder, separators as above; nothing else of it
// changes. The path itself when that cannot be done.
std::string absolutePath(const std::string& path);

// The path made absolute with "." and ".." taken out and, where the system has them, links
// followed; the path itself when that cannot be done.
std::string canonicalPath(const std::string& path);

// The running program's own file; empty when it cannot be told.
std::string executablePath();

} // namespace vistrel

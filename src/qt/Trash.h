// The desktop's trash as freedesktop.org's trash specification lays it out: a file on the home's
// device goes to $XDG_DATA_HOME/Trash, one on another device to the trash at the top of that
// device ($topdir/.Trash/$uid when the administrator made one, else $topdir/.Trash-$uid). Beside
// the file, info/NAME.trashinfo keeps where it came from, so that file managers can restore it.
#pragma once

#include <QString>

namespace vistrel {

// Moves the file (or link) at `path` into its trash; never copies or deletes it. The name in the
// trash is the file's own, or "NAME.2.ext" and on where that is taken. False, with the file left
// where it was, when it could not be moved.
bool MoveFileToTrash(const QString& path);

} // namespace vistrel

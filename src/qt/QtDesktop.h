// The desktop services on Qt and the Linux desktops: background through each desktop's own
// mechanism, show in folder through the file manager's D-Bus interface, pages through the
// desktop's browser, the clipboard's image, and file drags out of a widget.
#pragma once

#include "Desktop.h"

#include <QPointer>
#include <QString>
#include <QWidget>

namespace vistrel {

// Whose background mechanism applies, from the XDG_CURRENT_DESKTOP list ("ubuntu:GNOME", "KDE").
enum class DesktopKind { Gnome, Kde, Xfce, Other };
DesktopKind desktopKindFrom(const QString& currentDesktop);

class QtDesktop final : public Desktop {
public:
    // `dragSource` is the widget that drags start from; without one, the active window.
    explicit QtDesktop(QWidget* dragSource = nullptr) : dragSource_(dragSource) {}
    void setDragSource(QWidget* widget) { dragSource_ = widget; }

    bool setWallpaper(const std::string& path) override;
    bool showInFolder(const std::string& path) override;
    bool openInBrowser(const std::string& addressOrPath) override;
    bool clipboardImage(ClipboardBitmap& out) override;
    bool dragFileOut(const std::string& path) override;
    // The image, the file's URI (text/uri-list) and GNOME's list of copied files.
    bool copyToClipboard(const ClipboardBitmap& picture, const std::string& path) override;
    // The freedesktop.org trash (Trash.h).
    bool moveToTrash(const std::string& path) override;
    // The desktop portal's OpenURI.OpenFile, which asks which program ("ask"); without a portal,
    // the default program for the file's type (xdg-open).
    bool openWith(const std::string& path) override;

private:
    QPointer<QWidget> dragSource_;
};

// The folder the desktop's copies of our backgrounds are kept in:
// $XDG_DATA_HOME/Quorbane/Vistrel/Wallpaper.
QString wallpaperFolder();

// Offers the file as text/uri-list in a drag from `source` (copy, move or link) and returns when
// the drag ends; true when it was dropped somewhere.
bool dragFileOut(QObject* source, const QString& path);

} // namespace vistrel

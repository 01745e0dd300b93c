#include "QtDesktop.h"

#include "Picture.h"
#include "Trash.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace vistrel {

namespace {

// A helper program may wait on a desktop service; the window must not freeze for long.
constexpr int kProcessTimeoutMs = 5000;
// A file manager started by D-Bus activation needs a moment before it answers.
constexpr int kFileManagerTimeoutMs = 5000;

bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess process;
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(kProcessTimeoutMs)) return false;
    if (!process.waitForFinished(kProcessTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output) *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString fileUri(const QString& path) {
    return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
}

// A GVariant text string: single quotes, with backslash and quote escaped.
QString gvariantString(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

// A JavaScript string literal.
QString scriptString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

bool setGnomeWallpaper(const QString& path) {
    const QString value = gvariantString(fileUri(path));
    const QString schema = QStringLiteral("org.gnome.desktop.background");
    if (!run(QStringLiteral("gsettings"),
             {QStringLiteral("set"), schema, QStringLiteral("picture-uri"), value}))
        return false;
    // Desktops before GNOME 42 have no dark-style key; the light one is enough there.
    run(QStringLiteral("gsettings"),
        {QStringLiteral("set"), schema, QStringLiteral("picture-uri-dark"), value});
    return true;
}

bool setKdeWallpaper(const QString& path) {
    const QString script =
        QStringLiteral(
            "var all = desktops();\n"
            "for (var i = 0; i < all.length; i++) {\n"
            "    var d = all[i];\n"
            "    d.wallpaperPlugin = \"org.kde.image\";\n"
            "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
            "    d.writeConfig(\"Image\", %1);\n"
            "}\n")
            .arg(scriptString(fileUri(path)));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
        QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
    call << script;
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kProcessTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool setXfceWallpaper(const QString& path) {
    const QString tool = QStringLiteral("xfconf-query");
    const QString channel = QStringLiteral("xfce4-desktop");
    QByteArray listing;
    if (!run(tool, {QStringLiteral("-c"), channel, QStringLiteral("-l")}, &listing)) return false;
    // One property per monitor and workspace: .../workspace0/last-image.
    bool any = false;
    for (const QByteArray& line : listing.split('\n')) {
        const QString property = QString::fromUtf8(line.trimmed());
        if (!property.endsWith(QLatin1String("/last-image"))) continue;
        if (run(tool, {QStringLiteral("-c"), channel, QStringLiteral("-p"), property,
                       QStringLiteral("-s"), path}))
            any = true;
    }
    return any;
}

// The desktops read the background file whenever they draw it, so they are given a copy of our
// own, named anew each time (an unchanged name would not be reloaded); older copies go once the
// new one is set.
QString makeWallpaperCopy(const QString& path) {
    const QString folder = wallpaperFolder();
    if (!QDir().mkpath(folder)) return {};
    QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty()) suffix = QStringLiteral("img");
    const qint64 stamp = QDateTime::currentMSecsSinceEpoch();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString copy =
            QStringLiteral("%1/wallpaper-%2-%3.%4").arg(folder).arg(stamp).arg(attempt).arg(suffix);
        if (QFileInfo::exists(copy)) continue;
        return QFile::copy(path, copy) ? copy : QString();
    }
    return {};
}

void removeOtherCopies(const QString& keep) {
    QDir folder(wallpaperFolder());
    const QString kept = QFileInfo(keep).fileName();
    for (const QString& name :
         folder.entryList({QStringLiteral("wallpaper-*")}, QDir::Files | QDir::Hidden)) {
        if (name != kept) folder.remove(name);
    }
}

} // namespace

DesktopKind desktopKindFrom(const QString& currentDesktop) {
    for (const QString& name : currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString n = name.trimmed().toLower();
        if (n.startsWith(QLatin1String("gnome")) || n == QLatin1String("unity") ||
            n == QLatin1String("budgie") || n == QLatin1String("pantheon") ||
            n == QLatin1String("ubuntu"))
            return DesktopKind::Gnome;
        if (n == QLatin1String("kde")) return DesktopKind::Kde;
        if (n == QLatin1String("xfce")) return DesktopKind::Xfce;
    }
    return DesktopKind::Other;
}

QString wallpaperFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Quorbane/Vistrel/Wallpaper");
}

bool QtDesktop::setWallpaper(const std::string& path) {
    const DesktopKind kind = desktopKindFrom(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    if (kind == DesktopKind::Other || path.empty()) return false;
    const QString copy = makeWallpaperCopy(QString::fromStdString(path));
    if (copy.isEmpty()) return false;
    bool set = false;
    switch (kind) {
    case DesktopKind::Gnome:
        set = setGnomeWallpaper(copy);
        break;
    case DesktopKind::Kde:
        set = setKdeWallpaper(copy);
        break;
    case DesktopKind::Xfce:
        set = setXfceWallpaper(copy);
        break;
    case DesktopKind::Other:
        break;
    }
    if (set)
        removeOtherCopies(copy);
    else
        QFile::remove(copy);
    return set;
}

bool QtDesktop::showInFolder(const std::string& path) {
    const QString file = QString::fromStdString(path);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileUri(file)} << QString();
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kFileManagerTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    // No file manager answers on the bus: at least open the folder.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

bool QtDesktop::openInBrowser(const std::string& addressOrPath) {
    const QString text = QString::fromStdString(addressOrPath);
    if (text.isEmpty()) return false;
    const QUrl url = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text)
                                                       : QUrl(text, QUrl::StrictMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool QtDesktop::clipboardImage(ClipboardBitmap& out) {
    const QImage offered = QGuiApplication::clipboard()->image();
    if (offered.isNull() || offered.width() < 1 || offered.height() < 1) return false;
    if (uint64_t(offered.width()) * uint64_t(offered.height()) > kMaxPicturePixels) return false;
    // ARGB32 words are blue, green, red, alpha in memory on the little-endian machines we run on.
    const QImage image = offered.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) return false;
    const std::size_t row = std::size_t(image.width()) * 4;
    LargeBuffer bits(row * std::size_t(image.height()));
    if (!bits) return false;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bits.data() + row * std::size_t(y), image.constScanLine(y), row);
    out.width = image.width();
    out.height = image.height();
    out.bits = std::move(bits);
    return true;
}

bool QtDesktop::copyToClipboard(const ClipboardBitmap& picture, const std::string& path) {
    if (picture.width < 1 || picture.height < 1 || !picture.bits) return false;
    const QImage image(picture.bits.data(), picture.width, picture.height, picture.width * 4,
                       QImage::Format_ARGB32);
    auto* data = new QMimeData;
    data->setImageData(image.copy()); // the clipboard outlives the picture on show
    if (!path.empty()) {
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
        data->setUrls({url});
        // What GNOME's file managers paste files from.
        data->setData(QStringLiteral("x-special/gnome-copied-files"),
                      QByteArrayLiteral("copy\n") + url.toEncoded());
    }
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}

bool QtDesktop::moveToTrash(const std::string& path) {
    return !path.empty() && MoveFileToTrash(QString::fromStdString(path));
}

bool QtDesktop::openWith(const std::string& path) {
    const QString file = QString::fromStdString(path);
    // Only a regular file, opened without waiting (a FIFO put in its place would block).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat info;
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return false;
    }
    if (fd >= 0) {
        // The portal takes the file as an open descriptor (so that sandboxes work too) and the
        // parent window as "x11:" and its id, over which it shows its chooser.
        QString parent;
        if (dragSource_) parent = QStringLiteral("x11:%1").arg(dragSource_->winId(), 0, 16);
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"),
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenFile"));
        call << parent << QVariant::fromValue(QDBusUnixFileDescriptor(fd))
             << QVariantMap{{QStringLiteral("ask"), true}};
        const QDBusMessage reply =
            QDBusConnection::sessionBus().call(call, QDBus::Block, kProcessTimeoutMs);
        ::close(fd); // the message holds its own duplicate
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool QtDesktop::dragFileOut(const std::string& path) {
    QObject* source = dragSource_ ? static_cast<QObject*>(dragSource_.data())
                                  : static_cast<QObject*>(QApplication::activeWindow());
    return source && vistrel::dragFileOut(source, QString::fromStdString(path));
}

bool dragFileOut(QObject* source, const QString& path) {
    if (!source || path.isEmpty()) return false;
    auto* drag = new QDrag(source);
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    drag->setMimeData(data);
    const Qt::DropAction done =
        drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    return done != Qt::IgnoreAction;
}

} // namespace vistrel

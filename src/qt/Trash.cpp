#include "Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vistrel {

namespace {

bool deviceOf(const QString& path, dev_t& device) {
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return false;
    device = info.st_dev;
    return true;
}

// The folder whose files/ and info/ hold it, made with its two folders when missing (0700: the
// trash is the user's own).
bool makeTrash(const QString& trash) {
    for (const QString& folder :
         {trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info")}) {
        const QByteArray name = QFile::encodeName(folder);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) return false;
        struct stat info;
        if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    }
    return true;
}

// The highest folder above `folder` on the same device: the mount point.
QString topOfDevice(QString folder, dev_t device) {
    for (;;) {
        const QString parent = QFileInfo(folder).path();
        dev_t parentDevice;
        if (parent == folder || !deviceOf(parent, parentDevice) || parentDevice != device)
            return folder;
        folder = parent;
    }
}

// The trash for a file on `device` below `folder`, and whether paths in it are written relative
// to `top` (a removable device keeps its trash usable wherever it is mounted next).
QString trashFor(const QString& folder, dev_t device, QString& top) {
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/Trash");
    // The home's device is that of the data folder, or of what of its path exists (a data folder
    // that cannot be made fails the move rather than sending the file elsewhere).
    QString data = QFileInfo(home).path();
    QDir().mkpath(data);
    dev_t homeDevice = 0;
    while (!deviceOf(data, homeDevice) && QFileInfo(data).path() != data)
        data = QFileInfo(data).path();
    if (homeDevice == device) return makeTrash(home) ? home : QString();
    top = topOfDevice(folder, device);
    const QString uid = QString::number(::getuid());
    // An administrator's shared .Trash: a real folder with the sticky bit, never a link.
    const QString shared = top + QStringLiteral("/.Trash");
    struct stat info;
    if (::lstat(QFile::encodeName(shared).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
        (info.st_mode & S_ISVTX) && makeTrash(shared + QLatin1Char('/') + uid))
        return shared + QLatin1Char('/') + uid;
    const QString own = top + QStringLiteral("/.Trash-") + uid;
    return makeTrash(own) ? own : QString();
}

// Reserves NAME.trashinfo (created exclusively, so two programs never take the same name) and
// writes it; returns the name taken, empty when none could be.
QString reserveName(const QString& trash, const QString& name, const QByteArray& contents) {
    const QFileInfo parts(name);
    const QString base = parts.completeBaseName(), suffix = parts.suffix();
    for (int n = 1; n < 1000; ++n) {
        QString candidate = name;
        if (n > 1)
            candidate =
                (base.isEmpty() ? name : base) + QLatin1Char('.') + QString::number(n) +
                (base.isEmpty() || suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
        // A file of the name in files/ without its info would be replaced by the rename.
        struct stat taken;
        if (::lstat(QFile::encodeName(trash + QStringLiteral("/files/") + candidate).constData(),
                    &taken) == 0)
            continue;
        const QByteArray info = QFile::encodeName(trash + QStringLiteral("/info/") + candidate +
                                                  QStringLiteral(".trashinfo"));
        const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return {};
        }
        const bool written =
            ::write(fd, contents.constData(), std::size_t(contents.size())) == contents.size();
        if (::close(fd) == 0 && written) return candidate;
        ::unlink(info.constData());
        return {};
    }
    return {};
}

} // namespace

bool MoveFileToTrash(const QString& path) {
    const QFileInfo file(path);
    const QString absolute = file.absoluteFilePath();
    dev_t device;
    if (file.fileName().isEmpty() || !deviceOf(absolute, device)) return false;
    QString top;
    const QString trash = trashFor(file.absolutePath(), device, top);
    if (trash.isEmpty()) return false;
    // Where it came from, URL-escaped; relative to the device's top in a device's own trash.
    const QString origin = top.isEmpty() ? absolute : QDir(top).relativeFilePath(absolute);
    const QByteArray contents =
        "[Trash Info]\nPath=" + QUrl::toPercentEncoding(origin, "/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toUtf8() +
        "\n";
    const QString name = reserveName(trash, file.fileName(), contents);
    if (name.isEmpty()) return false;
    const QString info = trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo");
    // A rename, never a copy: the trash is on the file's own device.
    if (::rename(QFile::encodeName(absolute).constData(),
                 QFile::encodeName(trash + QStringLiteral("/files/") + name).constData()) == 0)
        return true;
    ::unlink(QFile::encodeName(info).constData());
    return false;
}

} // namespace vistrel

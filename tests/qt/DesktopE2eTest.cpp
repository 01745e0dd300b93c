// The desktop services against the real mechanisms on a private session bus (the test runs under
// dbus-run-session): GSettings' keyfile backend in a temporary home, a Plasma shell of our own on
// the bus, and stand-ins for xfconf-query and xdg-open on PATH. The file manager's ShowItems call
// is checked through the real program in tests/e2e.
#include "QtDesktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

using namespace vistrel;

// Readable failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

void writeScript(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Stand-ins that log their arguments to $FAKE_LOG; made once, first on PATH for the whole run
// (Qt looks for xdg-open once).
QString fakeBin() {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        made = true;
        writeScript(dir.filePath("xdg-open"), "#!/bin/sh\necho \"xdg-open $*\" >> \"$FAKE_LOG\"\n");
        writeScript(dir.filePath("xfconf-query"),
                    "#!/bin/sh\n"
                    "if [ \"$3\" = -l ]; then\n"
                    "  echo /backdrop/screen0/monitorVirtual1/workspace0/last-image\n"
                    "  echo /backdrop/screen0/monitorVirtual1/workspace0/image-style\n"
                    "  echo /backdrop/screen0/monitorHDMI-1/workspace1/last-image\n"
                    "  exit 0\n"
                    "fi\n"
                    "echo \"xfconf-query $*\" >> \"$FAKE_LOG\"\n");
        qputenv("PATH", (dir.path() + ":" + qEnvironmentVariable("PATH")).toUtf8());
    }
    return dir.path();
}

QString gsettingsGet(const char* key) {
    QProcess process;
    process.start("gsettings", {"get", "org.gnome.desktop.background", key});
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

class DesktopE2e : public ::testing::Test {
protected:
    void SetUp() override {
        fakeBin();
        // A quote and a blank in every path we hand over.
        home_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/it's a home-XXXXXX");
        ASSERT_TRUE(home_->isValid());
        log_ = home_->filePath("calls.log");
        qputenv("FAKE_LOG", log_.toUtf8());
        qputenv("HOME", home_->path().toUtf8());
        qputenv("XDG_DATA_HOME", home_->filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home_->filePath("config").toUtf8());
        qputenv("GSETTINGS_BACKEND", "keyfile");
        picture_ = home_->filePath("beach photo.png");
        QFile file(picture_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not really a picture");
    }
    void TearDown() override {
        if (services_) {
            services_->kill();
            services_->waitForFinished(5000);
        }
    }

    void startServices(const char* which) {
        services_ = std::make_unique<QProcess>();
        services_->start("/usr/bin/python3", {VISTREL_FAKE_SERVICES, log_, which});
        ASSERT_TRUE(services_->waitForStarted(10000));
        QByteArray said;
        while (!said.contains("ready") && services_->waitForReadyRead(20000))
            said += services_->readAllStandardOutput();
        ASSERT_TRUE(said.contains("ready")) << services_->readAllStandardError().toStdString();
    }

    QStringList logLines() {
        QFile file(log_);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // Lines logged by a program that runs on its own after the call returned.
    QStringList waitForLog() {
        QElapsedTimer waited;
        waited.start();
        while (logLines().isEmpty() && waited.elapsed() < 20000)
            QThread::msleep(20);
        return logLines();
    }
    QStringList wallpaperCopies() { return QDir(wallpaperFolder()).entryList(QDir::Files); }

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<QProcess> services_;
    QString log_, picture_;
    QtDesktop desktop_;
};

} // namespace

TEST_F(DesktopE2e, GnomeBackgroundKeysPointAtTheDesktopsOwnCopy) {
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    ASSERT_TRUE(desktop_.setWallpaper(picture_.toStdString()));
    QStringList copies = wallpaperCopies();
    ASSERT_EQ(copies.size(), 1);
    const QString copy = wallpaperFolder() + "/" + copies[0];
    EXPECT_TRUE(copy.endsWith(".png"));
    const QString uri = QString::fromUtf8(QUrl::fromLocalFile(copy).toEncoded());
    // The folder's quote makes gsettings print the value in double quotes.
    const QString quoted = "\"" + uri + "\"";
    EXPECT_EQ(gsettingsGet("picture-uri"), quoted);
    EXPECT_EQ(gsettingsGet("picture-uri-dark"), quoted);
    QFile original(picture_), copied(copy);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly) && copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), copied.readAll());

    // The file handed over may go at once; a second background replaces the first copy.
    QFile::remove(picture_);
    EXPECT_TRUE(QFileInfo::exists(copy));
    const QString second = home_->filePath("second.jpg");
    QFile(copy).copy(second);
    ASSERT_TRUE(desktop_.setWallpaper(second.toStdString()));
    copies = wallpaperCopies();
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(copies[0].endsWith(".jpg"));
    EXPECT_FALSE(QFileInfo::exists(copy));
}

TEST_F(DesktopE2e, PlasmaGetsAScriptNamingTheCopy) {
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    startServices("plasma");
    ASSERT_TRUE(desktop_.setWallpaper(picture_.toStdString()));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject call = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(call["call"].toString(), "evaluateScript");
    const QStringList copies = wallpaperCopies();
    ASSERT_EQ(copies.size(), 1);
    const QString uri =
        QString::fromUtf8(QUrl::fromLocalFile(wallpaperFolder() + "/" + copies[0]).toEncoded());
    EXPECT_TRUE(call["script"].toString().contains("d.writeConfig(\"Image\", \"" + uri + "\")"))
        << call["script"].toString().toStdString();
}

TEST_F(DesktopE2e, XfceSetsEveryLastImagePropertyOtherDesktopsNothing) {
    qputenv("XDG_CURRENT_DESKTOP", "sway");
    EXPECT_FALSE(desktop_.setWallpaper(picture_.toStdString()));
    EXPECT_TRUE(wallpaperCopies().isEmpty());

    qputenv("XDG_CURRENT_DESKTOP", "XFCE");
    ASSERT_TRUE(desktop_.setWallpaper(picture_.toStdString()));
    const QString copy = wallpaperFolder() + "/" + wallpaperCopies().value(0);
    EXPECT_EQ(logLines(),
              (QStringList{"xfconf-query -c xfce4-desktop -p "
                           "/backdrop/screen0/monitorVirtual1/workspace0/last-image -s " +
                               copy,
                           "xfconf-query -c xfce4-desktop -p "
                           "/backdrop/screen0/monitorHDMI-1/workspace1/last-image -s " +
                               copy}));
}

TEST_F(DesktopE2e, ShowInFolderOpensTheFolderWhenNoFileManagerAnswers) {
    qunsetenv("XDG_CURRENT_DESKTOP");
    ASSERT_TRUE(desktop_.showInFolder(picture_.toStdString()));
    const QStringList lines = waitForLog();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0],
              "xdg-open " + QString::fromUtf8(QUrl::fromLocalFile(home_->path()).toEncoded()));
}

TEST_F(DesktopE2e, OpenWithAsksThePortalElseOpensInTheDefaultProgram) {
    startServices("portal");
    ASSERT_TRUE(desktop_.openWith(picture_.toStdString()));
    QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject call = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(call["call"].toString(), "OpenFile");
    EXPECT_EQ(call["file"].toString(), QFileInfo(picture_).canonicalFilePath());
    EXPECT_TRUE(call["ask"].toBool());

    // No portal on the bus: the desktop's default program for the file.
    services_->kill();
    services_->waitForFinished(5000);
    services_.reset();
    QFile::remove(log_);
    ASSERT_TRUE(desktop_.openWith(picture_.toStdString()));
    lines = waitForLog();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], "xdg-open " + QString::fromUtf8(QUrl::fromLocalFile(picture_).toEncoded()));
}

TEST_F(DesktopE2e, TrashMovesTheFileIntoTheHomeTrashWithWhereItCameFrom) {
    const QString trash = home_->filePath("data/Trash"); // the data folder is not made yet
    ASSERT_TRUE(desktop_.moveToTrash(picture_.toStdString()));
    EXPECT_FALSE(QFileInfo::exists(picture_));
    EXPECT_EQ(QFile(trash + "/files/beach photo.png").size(), 20);
    QFile info(trash + "/info/beach photo.png.trashinfo");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(info.readAll());
    // The path URL-escaped, so that a file manager restores it whatever its name holds.
    EXPECT_TRUE(text.startsWith(
        "[Trash Info]\nPath=" + QString::fromUtf8(QUrl::toPercentEncoding(picture_, "/")) +
        "\nDeletionDate="))
        << text.toStdString();
    EXPECT_TRUE(text.contains("%20photo.png")) << text.toStdString();
    // A second file of the same name keeps the first; a missing one is not "moved".
    QFile again(picture_);
    ASSERT_TRUE(again.open(QIODevice::WriteOnly));
    again.close();
    ASSERT_TRUE(desktop_.moveToTrash(picture_.toStdString()));
    EXPECT_EQ(QFile(trash + "/files/beach photo.png").size(), 20);
    EXPECT_TRUE(QFileInfo::exists(trash + "/files/beach photo.2.png"));
    EXPECT_TRUE(QFileInfo::exists(trash + "/info/beach photo.2.png.trashinfo"));
    EXPECT_FALSE(desktop_.moveToTrash(picture_.toStdString()));
}

TEST_F(DesktopE2e, TrashThatCannotBeMadeLeavesTheFileWhereItWas) {
    // The data folder under a plain file: no home trash can be made, and the file (on the home's
    // device) goes nowhere else.
    QFile blocker(home_->filePath("plain"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", home_->filePath("plain/data").toUtf8());
    EXPECT_FALSE(desktop_.moveToTrash(picture_.toStdString()));
    EXPECT_TRUE(QFileInfo::exists(picture_));
}

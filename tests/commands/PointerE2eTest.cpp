// The popup menu and the drag-out with a real pointer: xdotool moves and clicks on the test's own
// display while the menu or the drag runs its event loop.
#include "QtDesktop.h"
#include "QtPopupMenu.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using namespace vistrel;

namespace {

// Runs xdotool with the arguments once the running event loop is idle.
void xdotoolSoon(QStringList arguments) {
    QTimer::singleShot(200, [arguments] { QProcess::startDetached("xdotool", arguments); });
}

QString point(int v) {
    return QString::number(v);
}

// Processes events until `done` holds; false after a generous while, so a lost event fails the
// test instead of hanging it.
template <typename Done> bool waitUntil(Done done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

class DragSource final : public QWidget {
public:
    explicit DragSource(QString file) : file_(std::move(file)) {}
    bool finished = false;
    bool dropped = false;

protected:
    void mousePressEvent(QMouseEvent*) override {
        xdotoolSoon({"mousemove", "480", "100", "sleep", "0.3", "mousemove", "500", "110", "sleep",
                     "0.3", "mouseup", "1"});
        dropped = dragFileOut(this, file_);
        finished = true;
    }

private:
    QString file_;
};

class DropTarget final : public QWidget {
public:
    DropTarget() { setAcceptDrops(true); }
    QList<QUrl> dropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasUrls()) event->acceptProposedAction();
    }
    void dropEvent(QDropEvent* event) override {
        dropped = event->mimeData()->urls();
        event->acceptProposedAction();
    }
};

} // namespace

TEST(PointerE2e, ChosenMenuItemGivesItsCommand) {
    ContextMenuState state;
    state.hasPicture = true;
    state.startPage = false;
    state.caption = "a.png [1x1]";
    state.hasFilePath = true;
    const auto items = BuildContextMenu(state);

    QMenu* shown = nullptr;
    // Clicks the rotate item as soon as the menu is on the screen.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!shown || !shown->isVisible()) return;
        poll.stop();
        for (QAction* action : shown->actions()) {
            if (action->data().toInt() != CmdRotateClockwise) continue;
            const QPoint at = shown->mapToGlobal(shown->actionGeometry(action).center());
            xdotoolSoon({"mousemove", point(at.x()), point(at.y()), "click", "1"});
        }
    });
    poll.start(50);
    EXPECT_EQ(ExecPopupMenu(items, QPoint(100, 100), nullptr), CmdRotateClockwise);

    // Dismissed with Esc: no command.
    poll.disconnect();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!QApplication::activePopupWidget()) return;
        poll.stop();
        xdotoolSoon({"key", "Escape"});
    });
    poll.start(50);
    EXPECT_EQ(ExecPopupMenu(items, QPoint(100, 100), nullptr), 0);
}

TEST(PointerE2e, DraggedFileArrivesAsAUriList) {
    const QString file = QDir::temp().filePath("vistrel drag test.png");
    DragSource source(file);
    source.setGeometry(0, 0, 200, 200);
    DropTarget target;
    target.setGeometry(400, 0, 200, 200);
    source.show();
    target.show();
    ASSERT_TRUE(waitUntil(
        [&] { return source.windowHandle()->isExposed() && target.windowHandle()->isExposed(); }));
    // The press starts the drag; the drag's own event loop then sees the move and the release.
    QProcess::startDetached("xdotool", {"mousemove", "100", "100", "mousedown", "1"});
    ASSERT_TRUE(waitUntil([&] { return source.finished; }));
    EXPECT_TRUE(source.dropped);
    EXPECT_EQ(target.dropped, QList<QUrl>{QUrl::fromLocalFile(file)});
}

// The Qt window host's own translations, on Qt's offscreen platform: the menu request as a posted
// event, and wheels that report parts of a notch.
#include "QtWindowHost.h"
#include "../FakeHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTimer>
#include <QWheelEvent>

namespace vistrel::test {
namespace {

class QtHost : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        for (const char* name : {"/p/a.png", "/p/b.png", "/p/c.png"})
            AddFile(name, 40, 30);
        qtHost_ = std::make_unique<QtWindowHost>(Window());
        ASSERT_TRUE(Window().Create(*qtHost_));
        ASSERT_TRUE(Window().OpenFile("/p/a.png"));
    }
    void TearDown() override {
        qtHost_.reset();
        ViewerTest::TearDown();
    }
    // A wheel event of `delta` eighths of a degree over the window's centre.
    void Wheel(int delta, Qt::MouseButtons buttons = Qt::NoButton) {
        QWidget& widget = qtHost_->widget();
        const QPointF centre(widget.width() / 2.0, widget.height() / 2.0);
        QWheelEvent event(centre, widget.mapToGlobal(centre), QPoint(), QPoint(0, delta), buttons,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&widget, &event);
    }

    std::unique_ptr<QtWindowHost> qtHost_;
};

TEST_F(QtHost, PostedMenuRequestOpensTheContextMenu) {
    QStringList shown;
    // Closes the menu as soon as it is up, noting its first item.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        shown << menu->actions().value(0)->text();
        menu->close();
    });
    poll.start(20);
    QApplication::postEvent(&qtHost_->widget(), new QEvent(kShowContextMenuEvent));
    QElapsedTimer waited;
    waited.start();
    while (shown.isEmpty() && waited.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(shown, QStringList{"a.png [40x30]"});
}

TEST_F(QtHost, WheelActsOncePerWholeNotch) {
    Wheel(-40);
    Wheel(-40);
    EXPECT_EQ(qtHost_->widget().windowTitle(), "a.png [40x30]");
    Wheel(-40); // a whole notch down: next
    EXPECT_EQ(qtHost_->widget().windowTitle(), "b.png [40x30]");
    Wheel(-60);
    Wheel(90); // turned back up: the part turned down before does not count
    EXPECT_EQ(qtHost_->widget().windowTitle(), "b.png [40x30]");
    Wheel(30);
    EXPECT_EQ(qtHost_->widget().windowTitle(), "a.png [40x30]");
    Wheel(-240); // a fast turn is still one step
    EXPECT_EQ(qtHost_->widget().windowTitle(), "b.png [40x30]");
    // With the right button held, a notch up turns the picture counter-clockwise.
    Wheel(120, Qt::RightButton);
    EXPECT_EQ(qtHost_->widget().width(), 30);
}

} // namespace
} // namespace vistrel::test

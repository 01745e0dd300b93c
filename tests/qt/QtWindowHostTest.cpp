// The Qt window host's own translations, on Qt's offscreen platform: the menu request from the
// event loop, the input table, and wheels that report parts of a notch.
#include "QtWindowHost.h"
#include "../viewer/WindowHarness.h"
#include "InputTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTimer>
#include <QWheelEvent>

namespace vistrel::test {
namespace {

class QtHost : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        for (const char* name : {"a.png", "b.png", "c.png"})
            AddFile(name, 40, 30);
        qtHost_ = std::make_unique<QtWindowHost>(window_);
        ASSERT_TRUE(window_.create(*qtHost_));
        Open("a.png");
    }
    void TearDown() override {
        // The host goes before the window here: nothing the workers still hand over may reach
        // it (the program closes the window first).
        window_.pictures().setArrivalCall({});
        qtHost_.reset();
        WindowTest::TearDown();
    }
    // The arrival call goes through Qt's event queue here.
    bool DeliverArrival() override {
        if (!PrefetcherTestPeer::arrivalCallMade(window_.pictures())) return false;
        QCoreApplication::sendPostedEvents();
        return true;
    }
    // A wheel event of `delta` eighths of a degree over the window's centre.
    void Wheel(int delta, Qt::MouseButtons buttons = Qt::NoButton) {
        QWidget& widget = qtHost_->widget();
        const QPointF centre(widget.width() / 2.0, widget.height() / 2.0);
        QWheelEvent event(centre, widget.mapToGlobal(centre), QPoint(), QPoint(0, delta), buttons,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&widget, &event);
        Settle();
    }

    std::unique_ptr<QtWindowHost> qtHost_;
};

TEST_F(QtHost, MenuRequestOpensTheContextMenuFromTheEventLoop) {
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
    qtHost_->requestContextMenu();
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

TEST(InputTable, KeysAndButtonsMapToActionsUnderTheirConditions) {
    const auto key = [](int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return actionFor(Trigger::Key, code, modifiers, Qt::NoButton);
    };
    EXPECT_EQ(key(Qt::Key_Right, Qt::ControlModifier), Action::NextPicture);
    EXPECT_EQ(key(Qt::Key_8), Action::ToggleFitToScreen);
    EXPECT_EQ(key(Qt::Key_8, Qt::KeypadModifier), std::nullopt);
    EXPECT_EQ(key(Qt::Key_Asterisk, Qt::KeypadModifier), Action::ToggleFitToScreen);
    EXPECT_EQ(key(Qt::Key_Minus, Qt::KeypadModifier), Action::ZoomOut);
    EXPECT_EQ(key(Qt::Key_V), std::nullopt);
    EXPECT_EQ(key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier), Action::Paste);
    EXPECT_EQ(key(Qt::Key_F2), std::nullopt);
    EXPECT_EQ(key(Qt::Key_G), Action::FirstPicture);
    EXPECT_EQ(key(Qt::Key_G, Qt::ShiftModifier), Action::LastPicture);
    EXPECT_EQ(key(Qt::Key_F11), Action::ToggleFullScreen);
    EXPECT_EQ(key(Qt::Key_F), Action::ToggleFullScreen);
    EXPECT_EQ(key(Qt::Key_C), std::nullopt);
    EXPECT_EQ(key(Qt::Key_C, Qt::ControlModifier), Action::CopyPicture);
    EXPECT_EQ(key(Qt::Key_Delete), Action::MoveToTrash);
    // Ctrl and a left press start no move: a Ctrl drag offers the picture as a file.
    EXPECT_EQ(actionFor(Trigger::Press, Qt::LeftButton, Qt::ControlModifier, Qt::LeftButton),
              std::nullopt);
    EXPECT_EQ(actionFor(Trigger::DoubleClick, Qt::MiddleButton, {}, Qt::MiddleButton),
              std::nullopt);
    EXPECT_EQ(actionFor(Trigger::Wheel, -1, {}, Qt::RightButton), Action::TurnClockwise);
    EXPECT_EQ(actionFor(Trigger::Wheel, -1, {}, Qt::NoButton), Action::NextPicture);
}

} // namespace
} // namespace vistrel::test

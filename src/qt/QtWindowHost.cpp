#include "QtWindowHost.h"

#include "QtCanvas.h"
#include "QtPopupMenu.h"
#include "SlideShowDialog.h"
#include "ViewerWindow.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTimerEvent>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <cstdlib>
#include <cstring>

namespace vistrel {

namespace {

// The wheel turn of one notch of an ordinary mouse wheel.
constexpr int kWheelNotch = 120;

// The painter comes before the canvas that draws with it.
struct PainterHolder {
    QPainter painter;
};

} // namespace

// A canvas over the host's frame. While it lives, every drawing of the host goes through it;
// when it ends, the frame is shown.
class FrameCanvas final : private PainterHolder, public QtCanvas {
public:
    FrameCanvas(QtWindowHost& host, bool show)
        : QtCanvas(painter), host_(host), show_(show), previous_(host.activePainter_) {
        painter.begin(&host.frame());
        host.activePainter_ = &painter;
    }
    ~FrameCanvas() override {
        painter.end();
        host_.activePainter_ = previous_;
        host_.framePainted_ = true;
        if (show_) host_.widget_->update();
    }

private:
    QtWindowHost& host_;
    bool show_;
    QPainter* previous_;
};

HostWidget::HostWidget(QtWindowHost& host) : host_(host) {}

void HostWidget::paintEvent(QPaintEvent* event) {
    QImage& frame = host_.frame();
    // A frame the window has not painted since it got its size: the window paints it now.
    if (!host_.framePainted_) {
        FrameCanvas dc(host_, false);
        host_.viewer_.onPaint(dc);
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(event->rect(), frame, event->rect());
    painter.end();
    if (!host_.iconSet_) {
        // Looking the icon up in the desktop's theme takes a few milliseconds: after the first
        // frame, not before it.
        host_.iconSet_ = true;
        QMetaObject::invokeMethod(
            this, [this] { setWindowIcon(QIcon::fromTheme("vistrel")); }, Qt::QueuedConnection);
    }
}

void HostWidget::keyPressEvent(QKeyEvent* event) {
    host_.act(Trigger::Key, event->key(), event->modifiers(), QGuiApplication::mouseButtons());
}

void HostWidget::mousePressEvent(QMouseEvent* event) {
    host_.act(Trigger::Press, event->button(), event->modifiers(), event->buttons(),
              host_.clientOf(event->globalPosition()));
}

void HostWidget::mouseReleaseEvent(QMouseEvent* event) {
    const Point pointer = host_.clientOf(event->globalPosition());
    if (event->button() == Qt::LeftButton)
        host_.viewer_.onRelease(MouseButton::Left, pointer);
    else if (event->button() == Qt::RightButton)
        host_.viewer_.onRelease(MouseButton::Right, pointer);
}

// The second press of a double click arrives here instead of as a press.
void HostWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    host_.act(Trigger::DoubleClick, event->button(), event->modifiers(), event->buttons(),
              host_.clientOf(event->globalPosition()));
}

void HostWidget::mouseMoveEvent(QMouseEvent* event) {
    host_.pointerMoved(host_.clientOf(event->globalPosition()), event->buttons(),
                       event->modifiers());
}

void HostWidget::leaveEvent(QEvent* event) {
    host_.viewer_.onPointerLeave();
    QWidget::leaveEvent(event);
}

void HostWidget::wheelEvent(QWheelEvent* event) {
    // Only the vertical wheel steps and turns. A wheel that reports parts of a notch (touchpads,
    // free-spinning wheels) acts once per whole notch, not once per report.
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    if ((wheelRemainder_ > 0) != (delta > 0)) wheelRemainder_ = 0; // turned the other way
    wheelRemainder_ += delta;
    if (std::abs(wheelRemainder_) < kWheelNotch) return;
    const int turned = wheelRemainder_;
    wheelRemainder_ = 0;
    host_.act(Trigger::Wheel, turned > 0 ? 1 : -1, event->modifiers(), event->buttons());
}

void HostWidget::timerEvent(QTimerEvent* event) {
    const auto found = host_.timers_.find(event->timerId());
    if (found != host_.timers_.end()) host_.viewer_.onTimer(found->second);
}

void HostWidget::closeEvent(QCloseEvent* event) {
    // A close from outside (the desktop's own close command) takes the window's close path.
    event->ignore();
    host_.viewer_.onClose();
}

void HostWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void HostWidget::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths.push_back(url.isLocalFile() ? url.toLocalFile().toStdString() : std::string());
    event->acceptProposedAction();
    host_.viewer_.onDropFiles(paths);
}

QtWindowHost::QtWindowHost(ViewerWindow& viewer)
    : viewer_(viewer), widget_(std::make_unique<HostWidget>(*this)) {}

QtWindowHost::~QtWindowHost() = default;

bool QtWindowHost::create(const Rect& geometry, bool topMost, const char* title) {
    QWidget& w = *widget_;
    w.setWindowFlags(Qt::Window | Qt::FramelessWindowHint |
                     (topMost ? Qt::WindowStaysOnTopHint : Qt::WindowFlags()));
    // Every window gets an alpha channel, so that a picture with real transparency needs no new
    // native window; plain drawing fills every pixel opaque.
    w.setAttribute(Qt::WA_TranslucentBackground);
    w.setAttribute(Qt::WA_NoSystemBackground);
    w.setAcceptDrops(true);
    w.setMouseTracking(true);
    w.setWindowTitle(QString::fromUtf8(title));
    topMost_ = topMost;
    geometry_ = QRect(geometry.left, geometry.top, geometry.width(), geometry.height());
    w.setGeometry(geometry_);
    w.show();
    created_ = w.windowHandle() != nullptr;
    if (created_) w.activateWindow();
    return created_;
}

void QtWindowHost::destroy() {
    if (!created_) return;
    created_ = false;
    releaseMouse();
    for (const auto& [qtId, id] : timers_)
        widget_->killTimer(qtId);
    timers_.clear();
    widget_->hide();
    // The window was the program: the event loop ends with it.
    QCoreApplication::quit();
}

bool QtWindowHost::isVisible() const {
    return widget_->isVisible();
}
void QtWindowHost::show() {
    widget_->show();
}
void QtWindowHost::hide() {
    widget_->hide();
}

void QtWindowHost::activate() {
    widget_->raise();
    widget_->activateWindow();
}

void QtWindowHost::setGeometry(const Rect& geometry, bool topMost) {
    geometry_ = QRect(geometry.left, geometry.top, geometry.width(), geometry.height());
    widget_->setGeometry(geometry_);
    setTopMost(topMost);
}

void QtWindowHost::move(Point topLeft) {
    geometry_.moveTo(topLeft.x, topLeft.y);
    widget_->move(topLeft.x, topLeft.y);
    queueDragMove();
}

Rect QtWindowHost::windowRect() const {
    return {geometry_.x(), geometry_.y(), geometry_.x() + geometry_.width(),
            geometry_.y() + geometry_.height()};
}

void QtWindowHost::setTitle(const char* text) {
    widget_->setWindowTitle(QString::fromUtf8(text));
}

void QtWindowHost::setTopMost(bool on) {
    if (on == topMost_) return;
    topMost_ = on;
    // On the native window, so that the widget is not made anew (and hidden) for it.
    if (QWindow* window = widget_->windowHandle()) window->setFlag(Qt::WindowStaysOnTopHint, on);
}

QImage& QtWindowHost::frame() {
    if (frame_.size() != geometry_.size()) {
        frame_ = QImage(geometry_.size(), QImage::Format_ARGB32_Premultiplied);
        if (!frame_.isNull()) frame_.fill(Qt::black);
        framePainted_ = false;
    }
    return frame_;
}

std::unique_ptr<Canvas> QtWindowHost::clientCanvas() {
    return std::make_unique<FrameCanvas>(*this, true);
}

template <typename Draw> void QtWindowHost::paintFrame(Draw&& draw) {
    if (activePainter_) {
        draw(*activePainter_);
        return;
    }
    FrameCanvas dc(*this, true);
    draw(*activePainter_);
}

void QtWindowHost::setTranslucent(bool on) {
    // The frame itself is always ARGB; only the shape cut from alpha belongs to translucency.
    if (!on) widget_->clearMask();
}

void QtWindowHost::presentTranslucent(int width, int height, const uint8_t* bits,
                                      uint32_t rowSize) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return;
    // Pixels of alpha 0 are cut out of the window's shape: the desktop shows through them even
    // where no compositor blends the window, and they do not take the mouse.
    QImage shape(width, height, QImage::Format_Mono);
    shape.setColorCount(2);
    shape.setColor(0, qRgb(255, 255, 255));
    shape.setColor(1, qRgb(0, 0, 0));
    shape.fill(0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bits + std::size_t(height - 1 - y) * rowSize; // bottom-up
        std::memcpy(image.scanLine(y), row, std::size_t(width) * 4);
        uchar* mask = shape.scanLine(y);
        for (int x = 0; x < width; ++x)
            if (row[4 * x + 3] != 0) mask[x >> 3] |= uchar(0x80 >> (x & 7));
    }
    paintFrame([&](QPainter& painter) {
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, image);
        painter.restore();
    });
    const QRegion region(QBitmap::fromImage(shape));
    if (!region.isEmpty()) widget_->setMask(region);
}

void QtWindowHost::blitSurface(const uint32_t* pixels, int width, int height,
                               const Rect& destination) {
    const QImage surface(reinterpret_cast<const uchar*>(pixels), width, height, width * 4,
                         QImage::Format_RGB32);
    const QSize size(destination.width(), destination.height());
    const QImage scaled = surface.size() == size ? surface
                                                 : surface.scaled(size, Qt::IgnoreAspectRatio,
                                                                  Qt::SmoothTransformation);
    paintFrame(
        [&](QPainter& painter) { painter.drawImage(destination.left, destination.top, scaled); });
}

void QtWindowHost::captureMouse() {
    widget_->grabMouse();
    captured_ = true;
}

void QtWindowHost::releaseMouse() {
    if (!captured_) return;
    widget_->releaseMouse();
    captured_ = false;
}

void QtWindowHost::setHandCursor(bool on) {
    if (on)
        widget_->setCursor(Qt::PointingHandCursor);
    else
        widget_->unsetCursor();
}

Point QtWindowHost::cursorPosition() const {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

Modifiers QtWindowHost::modifiers() const {
    // The modifiers as of the event being handled (the keyboard may have moved on since).
    const Qt::KeyboardModifiers held = QGuiApplication::keyboardModifiers();
    return {held.testFlag(Qt::ControlModifier), held.testFlag(Qt::ShiftModifier)};
}

void QtWindowHost::setTimer(Timer timer, int milliseconds) {
    killTimer(timer);
    const int qtId = widget_->startTimer(milliseconds, Qt::PreciseTimer);
    if (qtId != 0) timers_[qtId] = timer;
}

void QtWindowHost::killTimer(Timer timer) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second == timer) {
            widget_->killTimer(it->first);
            timers_.erase(it);
            return;
        }
    }
}

void QtWindowHost::postClose() {
    QMetaObject::invokeMethod(
        widget_.get(), [this] { viewer_.onClose(); }, Qt::QueuedConnection);
}

void QtWindowHost::requestContextMenu() {
    QMetaObject::invokeMethod(
        widget_.get(), [this] { viewer_.showContextMenu(); }, Qt::QueuedConnection);
}

void QtWindowHost::setAcceptDrops(bool on) {
    widget_->setAcceptDrops(on);
}

int QtWindowHost::execPopupMenu(const std::vector<MenuItem>& items, Point screenPoint) {
    return ExecPopupMenu(items, QPoint(screenPoint.x, screenPoint.y), widget_.get());
}

int QtWindowHost::menuCheckMarkWidth() const {
    return MenuCheckMarkWidth(widget_.get());
}

bool QtWindowHost::runSlideShowDialog(int& delaySeconds, bool& loop) {
    SlideShowDialog dialog({delaySeconds, loop}, widget_.get());
    if (dialog.exec() != QDialog::Accepted) return false;
    delaySeconds = dialog.settings().delay;
    loop = dialog.settings().loop;
    return true;
}

void QtWindowHost::queueDragMove() {
    // Moving the window under a still cursor changes the cursor's client position. That move is
    // delivered as the window system's own would be, so the window's drag rules see it too.
    if (moveQueued_ || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) return;
    moveQueued_ = true;
    QMetaObject::invokeMethod(
        widget_.get(),
        [this] {
            moveQueued_ = false;
            if (!created_) return;
            pointerMoved(clientOf(QCursor::pos()), QGuiApplication::mouseButtons(),
                         QGuiApplication::queryKeyboardModifiers());
        },
        Qt::QueuedConnection);
}

Point QtWindowHost::clientOf(const QPointF& global) const {
    const QPoint p = global.toPoint();
    return {p.x() - geometry_.x(), p.y() - geometry_.y()};
}

void QtWindowHost::act(Trigger trigger, int code, Qt::KeyboardModifiers modifiers,
                       Qt::MouseButtons buttons, Point pointer) {
    if (const std::optional<Action> action = actionFor(trigger, code, modifiers, buttons))
        viewer_.perform(*action, pointer);
}

void QtWindowHost::pointerMoved(Point pointer, Qt::MouseButtons buttons,
                                Qt::KeyboardModifiers modifiers) {
    viewer_.onPointerMove(
        pointer, buttons.testFlag(Qt::LeftButton), buttons.testFlag(Qt::RightButton),
        {modifiers.testFlag(Qt::ControlModifier), modifiers.testFlag(Qt::ShiftModifier)});
}

} // namespace vistrel

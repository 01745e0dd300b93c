#include "QtWindowHost.h"

#include "DevicePixels.h"
#include "PropertiesDialog.h"
#include "QtCanvas.h"
#include "QtPopupMenu.h"
#include "SlideShowDialog.h"
#include "ViewerWindow.h"
#include "WindowShape.h"

#include <QBackingStore>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QTimerEvent>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace vistrel {

namespace {

// The wheel turn of one notch of an ordinary mouse wheel.
constexpr int kWheelNotch = 120;

// The painter comes before the canvas that draws with it.
struct PainterHolder {
    QPainter painter;
};

} // namespace

// A canvas over the window's frame: the widget's backing store itself, in device pixels. While it
// lives, every drawing of the host goes through it. Outside Qt's own repaint it begins and ends
// the store's painting and, with `show`, puts the frame on the screen when it ends.
class FrameCanvas final : private PainterHolder, public QtCanvas {
public:
    enum Mode { OwnPaint, InQtsPaint };
    FrameCanvas(QtWindowHost& host, Mode mode, bool show)
        : QtCanvas(painter), host_(host), mode_(mode), show_(show), previous_(host.activePainter_) {
        begun_ = host.beginFrame(view_, mode == OwnPaint);
        if (!begun_) view_ = QImage(1, 1, QImage::Format_ARGB32_Premultiplied); // drawn nowhere
        painter.begin(&view_);
        // The frame counts in device pixels; its text is as large as the desktop shows text.
        if (const qreal ratio = host.ratio(); ratio != 1.0) painter.setFont(deviceFont(ratio));
        host.activePainter_ = &painter;
    }
    ~FrameCanvas() override {
        painter.end();
        host_.activePainter_ = previous_;
        if (begun_) host_.endFrame(mode_ == OwnPaint, show_);
    }

private:
    QtWindowHost& host_;
    Mode mode_;
    bool show_;
    bool begun_ = false;
    QImage view_;
    QPainter* previous_;
};

HostWidget::HostWidget(QtWindowHost& host) : host_(host) {}

QIcon HostWidget::programIcon() {
    // The installed theme's icon, else our own. The window carries it in the sizes task bars and
    // switchers draw: every size is sent to the X server with the window, and a 256-pixel one
    // alone would be 256 KB.
    QIcon source = QIcon::fromTheme("vistrel");
    if (source.isNull()) {
        // Read as the PNG it is: a reader left to find the format dlopens every image format
        // plugin Qt has to ask each (a megabyte of libraries resident from then on).
        QImageReader reader(QStringLiteral(":/icon/vistrel.png"), "png");
        reader.setAutoDetectImageFormat(false);
        source = QIcon(QPixmap::fromImage(reader.read()));
    }
    QIcon icon;
    for (const int side : {16, 32, 48, 64})
        icon.addPixmap(source.pixmap(QSize(side, side)));
    return icon;
}

void HostWidget::paintEvent(QPaintEvent*) {
    if (QBackingStore* store = backingStore();
        store && redirected(nullptr) == store->paintDevice()) {
        // Qt's own repaint of the frame (the window mapped or uncovered, a resize): an opaque
        // frame painted since is still there; else the window paints it now.
        if (!host_.frameCurrent()) {
            FrameCanvas canvas(host_, FrameCanvas::InQtsPaint, false);
            host_.viewer_.onPaint(canvas);
        }
    } else {
        // Painted somewhere else (a grab of the widget), in device pixels as well.
        QPainter painter(this);
        if (const qreal ratio = host_.ratio(); ratio != 1.0) {
            painter.scale(1 / ratio, 1 / ratio);
            painter.setFont(deviceFont(ratio));
        }
        QtCanvas canvas(painter);
        QPainter* previous = std::exchange(host_.activePainter_, &painter);
        host_.viewer_.onPaint(canvas);
        host_.activePainter_ = previous;
    }
    if (!host_.iconSet_) {
        // Looking the icon up and scaling it takes a few milliseconds: after the first frame,
        // not before it.
        host_.iconSet_ = true;
        QMetaObject::invokeMethod(
            this, [this] { setWindowIcon(programIcon()); }, Qt::QueuedConnection);
    }
}

void HostWidget::keyPressEvent(QKeyEvent* event) {
    host_.act(Trigger::Key, event->key(), event->modifiers(), QGuiApplication::mouseButtons());
}

void HostWidget::mousePressEvent(QMouseEvent* event) {
    host_.act(Trigger::Press, event->button(), event->modifiers(), event->buttons(),
              host_.clientOf(event->position()));
}

void HostWidget::mouseReleaseEvent(QMouseEvent* event) {
    const Point pointer = host_.clientOf(event->position());
    if (event->button() == Qt::LeftButton)
        host_.viewer_.onRelease(MouseButton::Left, pointer);
    else if (event->button() == Qt::RightButton)
        host_.viewer_.onRelease(MouseButton::Right, pointer);
}

// The second press of a double click arrives here instead of as a press.
void HostWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    host_.act(Trigger::DoubleClick, event->button(), event->modifiers(), event->buttons(),
              host_.clientOf(event->position()));
}

void HostWidget::mouseMoveEvent(QMouseEvent* event) {
    host_.pointerMoved(host_.clientOf(event->position()), event->buttons(), event->modifiers());
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

void HostWidget::renewNativeWindow(bool withAlpha) {
    const bool visible = host_.isVisible(), active = isActiveWindow();
    host_.showWhenRenewed_ = false;
    // The widget keeps its title, icon and flags; the native window, and with it the frame (its
    // backing store), is made anew.
    hide();
    destroy();
    host_.paintedStore_ = nullptr;
    setAttribute(Qt::WA_TranslucentBackground, withAlpha);
    host_.withAlpha_ = withAlpha;
    create();
    if (QWindow* window = windowHandle()) window->setFlag(Qt::WindowStaysOnTopHint, host_.topMost_);
    host_.applyGeometry();
    if (visible) host_.show();
    if (!host_.mask_.isEmpty()) host_.applyMask();
    if (host_.captured_) grabMouse();
    if (active) activateWindow();
    update();
}

QtWindowHost::QtWindowHost(ViewerWindow& viewer)
    : viewer_(viewer), widget_(std::make_unique<HostWidget>(*this)) {}

QtWindowHost::~QtWindowHost() = default;

void QtWindowHost::configure(const Rect& geometry, bool topMost, bool withAlpha) {
    QWidget& w = *widget_;
    w.setWindowFlags(Qt::Window | Qt::FramelessWindowHint |
                     (topMost ? Qt::WindowStaysOnTopHint : Qt::WindowFlags()));
    // An alpha channel only when the first thing shown has real transparency: an opaque window
    // needs no ARGB visual, no colormap of its own and no blending by a compositor. Plain drawing
    // fills every pixel, so the server need not clear the window first either.
    w.setAttribute(Qt::WA_TranslucentBackground, withAlpha);
    w.setAttribute(Qt::WA_NoSystemBackground);
    w.setAcceptDrops(true);
    w.setMouseTracking(true);
    topMost_ = topMost;
    geometry_ = QRect(geometry.left, geometry.top, geometry.width(), geometry.height());
    applyGeometry();
}

void QtWindowHost::prepare(const Rect& geometry, bool topMost, bool withAlpha) {
    HostWidget& w = *widget_;
    if (created_ || w.windowHandle()) return;
    configure(geometry, topMost, withAlpha);
    w.create(); // the X window, not mapped
    // Its cursor too: the first cursor of a display loads the cursor theme, some twenty round
    // trips to the X server that showing the window would otherwise wait for.
    if (QWindow* window = w.windowHandle()) window->setCursor(w.cursor());
    // The frame at the window's size, its memory written once (black, as a new frame starts):
    // the first picture is drawn into pages the system has already found, and Qt's first
    // repaint, finding the store at the window's size, keeps it.
    QBackingStore* store = w.backingStore();
    if (!store) return;
    const QRect whole(QPoint(), w.size());
    store->resize(whole.size());
    store->beginPaint(QRegion(whole));
    if (auto* image = dynamic_cast<QImage*>(store->paintDevice())) image->fill(Qt::black);
    store->endPaint();
}

bool QtWindowHost::create(const Rect& geometry, bool topMost, const char* title) {
    HostWidget& w = *widget_;
    // Made ahead for another alpha channel than the first picture wants (withAlpha_, asked for
    // before this): made anew, the visual of an X window is fixed when it is made.
    if (w.windowHandle() && w.testAttribute(Qt::WA_TranslucentBackground) != withAlpha_)
        w.destroy();
    configure(geometry, topMost, withAlpha_);
    w.setWindowTitle(QString::fromUtf8(title));
    show();
    created_ = w.windowHandle() != nullptr;
    if (created_) {
        if (!mask_.isEmpty()) applyMask();
        w.activateWindow();
    }
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
    return widget_->isVisible() || showWhenRenewed_;
}
void QtWindowHost::show() {
    // A window about to be made anew is shown as the new one, not as the old one first.
    if (renewQueued_) {
        showWhenRenewed_ = true;
        return;
    }
    widget_->show();
    // Showing applies Qt's own (rounded) geometry again at a fractional scale.
    if (ratio() != 1.0) applyGeometry();
}
void QtWindowHost::hide() {
    showWhenRenewed_ = false;
    widget_->hide();
}

void QtWindowHost::activate() {
    widget_->raise();
    widget_->activateWindow();
}

void QtWindowHost::setGeometry(const Rect& geometry, bool topMost) {
    geometry_ = QRect(geometry.left, geometry.top, geometry.width(), geometry.height());
    applyGeometry();
    setTopMost(topMost);
}

void QtWindowHost::move(Point topLeft) {
    geometry_.moveTo(topLeft.x, topLeft.y);
    if (ratio() == 1.0)
        widget_->move(topLeft.x, topLeft.y);
    else
        applyGeometry();
    queueDragMove();
}

qreal QtWindowHost::ratio() const {
    if (const QWindow* window = widget_->windowHandle()) return window->devicePixelRatio();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

void QtWindowHost::applyGeometry() {
    const qreal r = ratio();
    if (r == 1.0) {
        widget_->setGeometry(geometry_);
        return;
    }
    // Qt's own coordinates come as close as they can; the platform window then takes the
    // device pixels exactly (a shown window only: showing applies Qt's geometry again).
    const QPoint at = logicalScreenPoint(geometry_.topLeft());
    widget_->setGeometry(QRect(
        at, QSize(int(std::ceil(geometry_.width() / r)), int(std::ceil(geometry_.height() / r)))));
    if (QWindow* window = widget_->windowHandle(); window && widget_->isVisible())
        setDeviceGeometry(*window, geometry_);
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

bool QtWindowHost::beginFrame(QImage& view, bool ownPaint) {
    QBackingStore* store = widget_->backingStore();
    if (!store || !widget_->windowHandle()) return false;
    const QSize logical = widget_->size();
    bool fresh = false;
    if (ownPaint) {
        // Sized as Qt's own repaint sizes it, so that it finds the frame there.
        fresh = store->size() != logical;
        if (fresh) store->resize(logical);
        store->beginPaint(QRegion(QRect(QPoint(), logical)));
    }
    auto* image = dynamic_cast<QImage*>(store->paintDevice());
    if (!image || image->isNull()) {
        if (ownPaint) store->endPaint();
        return false;
    }
    // The store's own pixels, without its device pixel ratio: the frame counts in device pixels.
    view = QImage(image->bits(), image->width(), image->height(), image->bytesPerLine(),
                  image->format());
    // A new size starts black: what the window leaves unpainted (a stretched picture's margins)
    // shows black, through an alpha channel too.
    if (fresh) view.fill(Qt::black);
    return true;
}

void QtWindowHost::endFrame(bool ownPaint, bool show) {
    QBackingStore* store = widget_->backingStore();
    paintedStore_ = store;
    paintedSize_ = store->size();
    if (!ownPaint) return;
    store->endPaint();
    if (show && widget_->isVisible())
        store->flush(QRegion(QRect(QPoint(), store->size())), widget_->windowHandle());
}

bool QtWindowHost::frameCurrent() const {
    // Qt clears what it repaints of a frame with an alpha channel.
    const QBackingStore* store = widget_->backingStore();
    return !withAlpha_ && store && store == paintedStore_ && store->size() == paintedSize_;
}

std::unique_ptr<Canvas> QtWindowHost::clientCanvas() {
    return std::make_unique<FrameCanvas>(*this, FrameCanvas::OwnPaint, true);
}

template <typename Draw> void QtWindowHost::paintFrame(Draw&& draw) {
    if (activePainter_) {
        draw(*activePainter_);
        return;
    }
    FrameCanvas canvas(*this, FrameCanvas::OwnPaint, true);
    draw(*activePainter_);
}

void QtWindowHost::setTranslucent(bool on) {
    if (!created_) {
        // Asked before the window exists: it is made for what it shows first.
        withAlpha_ = on;
        return;
    }
    if (on) {
        if (!withAlpha_) renewWithAlphaLater();
        return;
    }
    // The frame itself is always ARGB; the shape cut from alpha belongs to translucency. A window
    // that was never cut costs the server nothing here. The alpha channel stays: making the
    // window anew for every opaque picture would make it blink.
    if (!mask_.isEmpty()) {
        mask_ = QRegion();
        applyMask();
    }
}

void QtWindowHost::renewWithAlphaLater() {
    // Not from inside the window's own event handlers, which the old native window runs.
    if (renewQueued_) return;
    renewQueued_ = true;
    QMetaObject::invokeMethod(
        widget_.get(),
        [this] {
            renewQueued_ = false;
            if (created_ && !withAlpha_) {
                widget_->renewNativeWindow(true);
            } else if (std::exchange(showWhenRenewed_, false) && created_) {
                show();
            }
        },
        Qt::QueuedConnection);
}

void QtWindowHost::applyMask() {
    if (QWindow* window = widget_->windowHandle()) setDeviceMask(*window, mask_);
}

void QtWindowHost::presentTranslucent(int width, int height, const uint8_t* bits,
                                      uint32_t rowSize) {
    // Drawn straight from the caller's rows, which outlive the drawing: a copy would be one more
    // frame's worth of fresh memory to fault in.
    const QImage image(bits, width, height, qsizetype(rowSize),
                       QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return;
    paintFrame([&](QPainter& painter) {
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, image);
        painter.restore();
    });
    // Pixels of alpha 0 are cut out of the window's shape: the desktop shows through them even
    // where no compositor blends the window, and they do not take the mouse. A frame without
    // any (or with nothing else) keeps the whole window.
    QRegion region;
    const std::vector<Rect> shape = shapeFromAlpha(bits, width, height, rowSize);
    if (!shape.empty()) {
        std::vector<QRect> rects;
        rects.reserve(shape.size());
        for (const Rect& r : shape)
            rects.emplace_back(r.left, r.top, r.width(), r.height());
        region.setRects(rects.data(), int(rects.size()));
    }
    if (region != mask_) {
        mask_ = region;
        applyMask();
    }
}

void QtWindowHost::blitSurface(const uint32_t* pixels, int width, int height,
                               const Rect& destination) {
    const QImage surface(reinterpret_cast<const uchar*>(pixels), width, height, width * 4,
                         QImage::Format_RGB32);
    const QRect target(destination.left, destination.top, destination.width(),
                       destination.height());
    if (target.width() <= width && target.height() <= height) {
        // Reduced by averaging, which a filter on the way into the frame does not do.
        const QImage scaled =
            target.size() == surface.size()
                ? surface
                : surface.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        paintFrame([&](QPainter& painter) { painter.drawImage(target.topLeft(), scaled); });
        return;
    }
    // Enlarged (a screen copy at natural size, a zoom) straight into the frame: no scaled copy
    // as large as the window beside it.
    paintFrame([&](QPainter& painter) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, surface);
        painter.restore();
    });
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
    const QPoint p = deviceCursorPosition();
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

void QtWindowHost::postArrival() {
    // From a worker thread: Qt queues the call to the widget's (the window's) thread, and drops it
    // if the widget goes first.
    QMetaObject::invokeMethod(
        widget_.get(), [this] { viewer_.onPicturesArrived(); }, Qt::QueuedConnection);
}

void QtWindowHost::requestContextMenu() {
    QMetaObject::invokeMethod(
        widget_.get(), [this] { viewer_.showContextMenu(); }, Qt::QueuedConnection);
}

void QtWindowHost::setAcceptDrops(bool on) {
    widget_->setAcceptDrops(on);
}

int QtWindowHost::execPopupMenu(const std::vector<MenuItem>& items, Point screenPoint) {
    return ExecPopupMenu(items, logicalScreenPoint(QPoint(screenPoint.x, screenPoint.y)),
                         widget_.get());
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

void QtWindowHost::showProperties(const char* title, const std::vector<PropertyRow>& rows) {
    PropertiesDialog dialog(QString::fromUtf8(title), rows, widget_.get());
    dialog.exec();
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
            const QPoint cursor = deviceCursorPosition() - geometry_.topLeft();
            pointerMoved({cursor.x(), cursor.y()}, QGuiApplication::mouseButtons(),
                         QGuiApplication::queryKeyboardModifiers());
        },
        Qt::QueuedConnection);
}

Point QtWindowHost::clientOf(const QPointF& local) const {
    const qreal r = ratio();
    return {int(std::lround(local.x() * r)), int(std::lround(local.y() * r))};
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

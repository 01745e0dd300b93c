// The viewer's window on Qt: a frameless top-level widget that keeps the last painted frame and
// turns Qt's events into the window's input handlers through the input table. The widget decides
// nothing itself.
#pragma once

#include "InputTable.h"
#include "WindowHost.h"

#include <QIcon>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QWidget>

#include <map>
#include <memory>

class QBackingStore;
class QPainter;

namespace vistrel {

class ViewerWindow;
class QtWindowHost;

// The widget itself; it belongs to its QtWindowHost.
class HostWidget final : public QWidget {
public:
    explicit HostWidget(QtWindowHost& host);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class QtWindowHost;
    // The program's icon, in the sizes a desktop shows.
    static QIcon programIcon();
    // Makes the native window anew, with an alpha channel or without: the visual of an X window
    // is fixed when it is made.
    void renewNativeWindow(bool withAlpha);

    QtWindowHost& host_;
    // Wheel turns not yet handed on: fine-grained wheels and touchpads report parts of a notch.
    int wheelRemainder_ = 0;
};

class QtWindowHost final : public WindowHost {
public:
    explicit QtWindowHost(ViewerWindow& viewer);
    ~QtWindowHost() override;

    bool create(const Rect& geometry, bool topMost, const char* title) override;
    void prepare(const Rect& geometry, bool topMost, bool withAlpha) override;
    bool exists() const override { return created_; }
    void destroy() override;
    bool isVisible() const override;
    void show() override;
    void hide() override;
    void activate() override;
    void setGeometry(const Rect& geometry, bool topMost) override;
    void setTopMost(bool on) override;
    void move(Point topLeft) override;
    Rect windowRect() const override;
    void setTitle(const char* text) override;
    std::unique_ptr<Canvas> clientCanvas() override;
    void setTranslucent(bool on) override;
    void presentTranslucent(int width, int height, const uint8_t* bits, uint32_t rowSize) override;
    void blitSurface(const uint32_t* pixels, int width, int height,
                     const Rect& destination) override;
    void captureMouse() override;
    void releaseMouse() override;
    bool hasCapture() const override { return captured_; }
    void setHandCursor(bool on) override;
    Point cursorPosition() const override;
    Modifiers modifiers() const override;
    void setTimer(Timer timer, int milliseconds) override;
    void killTimer(Timer timer) override;
    void postClose() override;
    void postArrival() override;
    void setAcceptDrops(bool on) override;
    int execPopupMenu(const std::vector<MenuItem>& items, Point screenPoint) override;
    int menuCheckMarkWidth() const override;
    bool runSlideShowDialog(int& delaySeconds, bool& loop) override;
    void showProperties(const char* title, const std::vector<PropertyRow>& rows) override;

    // Opens the context menu at the last right-press point from the event loop; any part of the
    // program may ask for it.
    void requestContextMenu();

    QWidget& widget() { return *widget_; }

private:
    friend class HostWidget;
    friend class FrameCanvas;

    // Device pixels per unit of Qt's own coordinates on the window's screen.
    qreal ratio() const;
    // Applies geometry_ to the widget, exactly in device pixels.
    void applyGeometry();
    // The window's flags, attributes and geometry, before its native window is made.
    void configure(const Rect& geometry, bool topMost, bool withAlpha);
    // The frame is the widget's backing store itself, not a copy of it beside it. beginFrame
    // makes `view` its image in device pixels (false without one); with `ownPaint` (outside Qt's
    // own repaint) it sizes the store to the window and begins painting it, and endFrame ends
    // that and, with `show`, puts the frame on the screen.
    bool beginFrame(QImage& view, bool ownPaint);
    void endFrame(bool ownPaint, bool show);
    // Whether the store still holds the frame last painted, so that Qt's own repaint (a map, an
    // expose, a resize) need not paint it again.
    bool frameCurrent() const;
    // Runs `draw` with the painter of the canvas being painted, or a painter of its own.
    template <typename Draw> void paintFrame(Draw&& draw);
    void queueDragMove();
    // Client coordinates, in device pixels, of a point in the widget's own coordinates.
    Point clientOf(const QPointF& local) const;
    // The window's shape from `mask_`, or the whole window without one.
    void applyMask();
    // A native window with an alpha channel, made anew from the event loop when a picture with
    // real transparency comes to a window made without one.
    void renewWithAlphaLater();
    // Hands a key, a press or a wheel notch to the window when the input table binds it.
    void act(Trigger trigger, int code, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons,
             Point pointer = {});
    void pointerMoved(Point pointer, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

    ViewerWindow& viewer_;
    std::unique_ptr<HostWidget> widget_;
    QRect geometry_;
    // The store the frame was last painted into, and its size then.
    const QBackingStore* paintedStore_ = nullptr;
    QSize paintedSize_;
    QPainter* activePainter_ = nullptr;
    bool created_ = false;
    bool topMost_ = false;
    bool captured_ = false;
    bool moveQueued_ = false;
    bool iconSet_ = false;
    // The native window has an alpha channel (asked for before creation, or made anew for a
    // picture with real transparency; an opaque picture never needs one).
    bool withAlpha_ = false;
    bool renewQueued_ = false;
    bool showWhenRenewed_ = false; // shown while the renewal was queued
    // The shape cut from the last translucent frame's alpha, in device pixels; empty: none.
    QRegion mask_;
    std::map<int, Timer> timers_; // Qt's timer id -> the window's timer
};

} // namespace vistrel

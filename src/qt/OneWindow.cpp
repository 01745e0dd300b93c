#include "OneWindow.h"

#include "DebugLog.h"

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>

#include <time.h>

namespace vistrel {

namespace {

const QString kName = QStringLiteral("com.quorbane.Vistrel");
const QString kPath = QStringLiteral("/com/quorbane/Vistrel");
const QString kInterface = QStringLiteral("org.freedesktop.Application");
// What a start says of itself beside its files (platform data): its X display, since a window on
// another display (a second login of the same user on one user bus) is not the one in front of
// it, and when it asked, since a window too busy to answer in time is not asked again later.
const QString kDisplayKey = QStringLiteral("vistrel-display");
const QString kSentKey = QStringLiteral("vistrel-sent-ms");

// The bus daemon answers at once; this only bounds a daemon that does not.
constexpr int kBusTimeoutMs = 1000;
// The running window answers from its event loop, which may still be starting. A window that
// does not answer in this time (stopped, hung) is given up on and this start opens its own.
constexpr int kHandOverTimeoutMs = 2000;
// The running window takes only calls sent this recently, so that its answer reaches a sender
// still waiting: the sender's timeout may fire a little early (Qt's coarse timers), and the
// answer takes its time on the way.
constexpr int kTakenWithinMs = 1500;

qint64 monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

QString display() {
    return QString::fromLocal8Bit(qgetenv("DISPLAY"));
}

// The path's bytes percent-encoded: a name that is not UTF-8 (D-Bus text must be) arrives whole.
QString fileUri(const std::string& path) {
    return QString::fromLatin1(
        "file://" + QByteArray(path.data(), qsizetype(path.size())).toPercentEncoding("/"));
}

// The path of a local file URI ("file:///..." or "file://localhost/..."); empty for any other.
std::string pathOfUri(const QString& uri) {
    QByteArray text = uri.toUtf8();
    if (!text.startsWith("file://")) return {};
    text.remove(0, 7);
    if (text.startsWith("localhost/")) text.remove(0, 9);
    const QByteArray path = QByteArray::fromPercentEncoding(text);
    if (!path.startsWith('/') || path.contains('\0')) return {};
    return path.toStdString();
}

constexpr const char* kIntrospection =
    "<interface name=\"org.freedesktop.Application\">"
    "<method name=\"Activate\"><arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/>"
    "</method>"
    "<method name=\"Open\"><arg type=\"as\" name=\"uris\" direction=\"in\"/>"
    "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
    "<method name=\"ActivateAction\"><arg type=\"s\" name=\"action_name\" direction=\"in\"/>"
    "<arg type=\"av\" name=\"parameter\" direction=\"in\"/>"
    "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
    "</interface>";

} // namespace

// The running window's side: the object on the bus. Calls reach it on the event loop's thread.
struct OneWindow::Receiver final : QDBusVirtualObject {
    OpenCall open;

    QString introspect(const QString&) const override { return QLatin1String(kIntrospection); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != kInterface) return false;
        const QString member = message.member();
        const QList<QVariant> arguments = message.arguments();
        QStringList uris;
        QVariantMap platformData;
        if (member == QLatin1String("Activate") && message.signature() == QLatin1String("a{sv}")) {
            platformData = qdbus_cast<QVariantMap>(arguments[0]);
        } else if (member == QLatin1String("Open") &&
                   message.signature() == QLatin1String("asa{sv}")) {
            uris = arguments[0].toStringList();
            platformData = qdbus_cast<QVariantMap>(arguments[1]);
        } else if (member == QLatin1String("ActivateAction")) {
            connection.send(message.createErrorReply(QDBusError::NotSupported,
                                                     QStringLiteral("Vistrel has no actions")));
            return true;
        } else {
            return false;
        }
        const QString sentDisplay = platformData.value(kDisplayKey, display()).toString();
        if (sentDisplay != display()) {
            connection.send(
                message.createErrorReply(QStringLiteral("com.quorbane.Vistrel.Error.OtherDisplay"),
                                         QStringLiteral("this window is on display ") + display()));
            return true;
        }
        // The sender gave up waiting and opened a window of its own: showing its pictures here
        // too, late, would only surprise.
        const QVariant sent = platformData.value(kSentKey);
        if (sent.isValid() && monotonicMs() - sent.toLongLong() > kTakenWithinMs) {
            connection.send(
                message.createErrorReply(QStringLiteral("com.quorbane.Vistrel.Error.TooLate"),
                                         QStringLiteral("the call waited longer than its sender")));
            return true;
        }
        std::vector<std::string> paths;
        for (const QString& uri : uris)
            if (std::string path = pathOfUri(uri); !path.empty()) paths.push_back(std::move(path));
        if (!open || !open(paths)) {
            connection.send(
                message.createErrorReply(QStringLiteral("com.quorbane.Vistrel.Error.Closing"),
                                         QStringLiteral("the window is closing")));
            return true;
        }
        connection.send(message.createReply());
        debugLog("handed over: %zu pictures", paths.size());
        return true;
    }
};

OneWindow::OneWindow() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    // The object answers before the name is ours: a call may come the moment it is.
    receiver_ = std::make_unique<Receiver>();
    if (!bus.registerVirtualObject(kPath, receiver_.get())) {
        receiver_.reset();
        return;
    }
    // Queued (flags 0): when the window holding the name closes, the next in line takes it.
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << kName << 0u;
    const QDBusMessage reply = bus.call(request, QDBus::Block, kBusTimeoutMs);
    constexpr uint kPrimaryOwner = 1;
    holdsName_ = reply.type() == QDBusMessage::ReplyMessage &&
                 reply.arguments().value(0).toUInt() == kPrimaryOwner;
    debugLog("session bus: %s", holdsName_ ? "the name is ours" : "another window has the name");
}

OneWindow::~OneWindow() {
    if (receiver_) QDBusConnection::sessionBus().unregisterObject(kPath);
}

bool OneWindow::handOver(const std::vector<std::string>& paths) {
    if (!receiver_ || holdsName_) return false;
    const QVariantMap platformData{{kDisplayKey, display()}, {kSentKey, monotonicMs()}};
    QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, kInterface,
                                                       paths.empty() ? QStringLiteral("Activate")
                                                                     : QStringLiteral("Open"));
    if (!paths.empty()) {
        QStringList uris;
        for (const std::string& path : paths)
            uris << fileUri(path);
        call << uris;
    }
    call << platformData;
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kHandOverTimeoutMs);
    debugLog("hand-over: %s", reply.type() == QDBusMessage::ReplyMessage
                                  ? "taken"
                                  : reply.errorName().toUtf8().constData());
    return reply.type() == QDBusMessage::ReplyMessage;
}

void OneWindow::serve(OpenCall open) {
    if (receiver_) receiver_->open = std::move(open);
}

} // namespace vistrel

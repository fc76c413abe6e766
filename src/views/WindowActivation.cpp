#include "views/WindowActivation.h"

#include "platform/ActivationToken.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace quendle2 {

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

xcb_client_message_event_t clientMessage(xcb_window_t window, xcb_atom_t type, uint8_t format) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = format;
    event.window = window;
    event.type = type;
    return event;
}

/// Asks the window manager for the focus with the time of the launch, as the startup id records it
/// ("..._TIME<server time>"): a focus request from an application is judged by that time.
void requestFocusAtLaunchTime(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                              const QString& startupId) {
    static const QRegularExpression launchTime(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch match = launchTime.match(startupId);
    const uint32_t time = match.hasMatch() ? match.captured(1).toUInt() : 0;
    if (time == 0) {
        return;
    }
    xcb_client_message_event_t event =
        clientMessage(window, internAtom(connection, "_NET_ACTIVE_WINDOW"), 32);
    event.data.data32[0] = 1; // from an application
    event.data.data32[1] = time;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

/// Ends the launch's startup notification, as the startup-notification protocol's "remove" message: the
/// launcher stops its busy cursor instead of waiting for a window that the running instance showed.
void endStartupNotification(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                            const QString& startupId) {
    QString quoted = startupId;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""));
    QByteArray message = QStringLiteral("remove: ID=\"%1\"").arg(quoted).toUtf8();
    message.append('\0');
    const xcb_atom_t begin = internAtom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = internAtom(connection, "_NET_STARTUP_INFO");
    constexpr qsizetype chunk = 20;
    for (qsizetype offset = 0; offset < message.size(); offset += chunk) {
        xcb_client_message_event_t event = clientMessage(window, offset == 0 ? begin : more, 8);
        std::memcpy(event.data.data8, message.constData() + offset,
                    static_cast<size_t>(std::min(chunk, message.size() - offset)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
}

} // namespace

void activateWindow(QWidget* window, const QString& token) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || token.isEmpty()) {
        ActivationToken::offer(token);
        window->activateWindow();
        return;
    }
    window->activateWindow();
    xcb_connection_t* connection = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const auto id = static_cast<xcb_window_t>(window->winId());
    requestFocusAtLaunchTime(connection, root, id, token);
    endStartupNotification(connection, root, id, token);
    xcb_flush(connection);
}

} // namespace quendle2

#include "SPX11KeyGrabber.h"

#include "QVLog.h"
#include "SPInvocationGrabber.h"

#include <QList>

#include <cstdlib>
#include <cstring>
#include <future>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
// The XKB header names a member `explicit`.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace {
constexpr xcb_keysym_t kNumLock = 0xff7f;
constexpr uint8_t kBadAccess = 10;
constexpr uint32_t kMaxPropertyLongs = 64; // 256 bytes of a name is plenty
constexpr uint32_t kMaxClientListLongs = 4096;

struct MediaKeySym {
    xcb_keysym_t keysym;
    int keyCode;
};
// XF86AudioPlay, AudioPause, AudioNext, AudioPrev, AudioForward, AudioRewind.
constexpr MediaKeySym kMediaKeySyms[] = {
    { 0x1008FF14, 16 },
    { 0x1008FF31, 16 },
    { 0x1008FF17, 17 },
    { 0x1008FF16, 18 },
    { 0x1008FF97, 19 },
    { 0x1008FF3E, 20 },
};

template <typename T> struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter<T>>;
} // namespace

struct StartResult {
    std::promise<bool> started;
    QString error;
};

struct SPX11KeyGrabber::Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_key_symbols_t* symbols = nullptr;
    uint16_t numLockMask = 0;
    xcb_atom_t activeWindow = XCB_NONE;
    xcb_atom_t clientList = XCB_NONE;
    xcb_atom_t gtkApplicationId = XCB_NONE;
    xcb_atom_t kdeDesktopFile = XCB_NONE;
    xcb_atom_t wmPid = XCB_NONE;
    xcb_atom_t utf8String = XCB_NONE;

    ~Connection()
    {
        if (symbols)
            xcb_key_symbols_free(symbols);
        if (c)
            xcb_disconnect(c);
    }

    xcb_atom_t atom(const char* name) const
    {
        const XcbReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    QByteArray property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint32_t longs) const
    {
        if (property == XCB_NONE)
            return {};
        const XcbReply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, longs), nullptr));
        if (!reply || reply->type == XCB_NONE)
            return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
            xcb_get_property_value_length(reply.get()));
    }

    void findNumLock()
    {
        numLockMask = 0;
        xcb_keycode_t* numLockCodes = xcb_key_symbols_get_keycode(symbols, kNumLock);
        const XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
            xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
        if (numLockCodes && mapping) {
            const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
            const int perModifier = mapping->keycodes_per_modifier;
            for (int modifier = 0; modifier < 8 && !numLockMask; ++modifier)
                for (int i = 0; i < perModifier; ++i)
                    for (xcb_keycode_t* code = numLockCodes; *code != XCB_NO_SYMBOL; ++code)
                        if (codes[modifier * perModifier + i] == *code)
                            numLockMask = uint16_t(1u << modifier);
        }
        std::free(numLockCodes);
    }
};

SPX11KeyGrabber::SPX11KeyGrabber(Callbacks callbacks)
    : _callbacks(std::move(callbacks))
{
}

SPX11KeyGrabber::~SPX11KeyGrabber()
{
    stop();
}

bool SPX11KeyGrabber::start(const QByteArray& display, bool intercept, QString* error)
{
    stop();
    _wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (_wakeFd < 0) {
        // The tap thread could never be reached.
        if (error)
            *error = QStringLiteral("_eventPortSource != NULL failed: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    _stopping = false;
    auto result = std::make_shared<StartResult>();
    std::future<bool> started = result->started.get_future();
    _thread = std::thread(&SPX11KeyGrabber::_run, this, result, display, intercept);
    if (started.get())
        return true;
    _thread.join();
    ::close(_wakeFd);
    _wakeFd = -1;
    if (error)
        *error = result->error;
    return false;
}

void SPX11KeyGrabber::stop()
{
    if (_thread.joinable()) {
        _stopping = true;
        _wake();
        _thread.join();
    }
    if (_wakeFd >= 0) {
        ::close(_wakeFd);
        _wakeFd = -1;
    }
    std::lock_guard<std::mutex> locker(_scheduledLock);
    _scheduled.clear();
}

void SPX11KeyGrabber::schedule(std::unique_ptr<SPInvocationGrabber> call)
{
    {
        std::lock_guard<std::mutex> locker(_scheduledLock);
        _scheduled.push_back(std::move(call));
    }
    _wake();
}

void SPX11KeyGrabber::_wake()
{
    if (_wakeFd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(_wakeFd, &one, sizeof one);
}

void SPX11KeyGrabber::_run(std::shared_ptr<StartResult> result, QByteArray display, bool intercept)
{
    if (!_connect(display, &result->error)) {
        _x.reset();
        result->started.set_value(false);
        return;
    }
    _clientListChanged(); // who is there already; nobody has ended yet
    if (intercept)
        pauseTapOnTapThread(true);
    xcb_flush(_x->c);
    result->started.set_value(true);
    _loop();
    _grabbed = false;
    _keysDown.clear();
    _clientPids.clear();
    _x.reset();
}

bool SPX11KeyGrabber::_connect(const QByteArray& display, QString* error)
{
    _x = std::make_unique<Connection>();
    _x->c = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (!_x->c || xcb_connection_has_error(_x->c)) {
        *error = QStringLiteral("cannot open display \"%1\"")
                     .arg(QString::fromLocal8Bit(display.isEmpty() ? qgetenv("DISPLAY") : display));
        return false;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(_x->c)).data;
    if (!screen) {
        *error = QStringLiteral("the display has no screen");
        return false;
    }
    _x->root = screen->root;
    _x->symbols = xcb_key_symbols_alloc(_x->c);
    if (!_x->symbols) {
        *error = QStringLiteral("cannot read the keyboard mapping");
        return false;
    }
    _x->activeWindow = _x->atom("_NET_ACTIVE_WINDOW");
    _x->clientList = _x->atom("_NET_CLIENT_LIST");
    _x->gtkApplicationId = _x->atom("_GTK_APPLICATION_ID");
    _x->kdeDesktopFile = _x->atom("_KDE_NET_WM_DESKTOP_FILE");
    _x->wmPid = _x->atom("_NET_WM_PID");
    _x->utf8String = _x->atom("UTF8_STRING");

    // Held keys then repeat as presses without releases between them.
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(_x->c, &xcb_xkb_id);
    if (xkb && xkb->present) {
        XcbReply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
            _x->c, xcb_xkb_use_extension(_x->c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
        XcbReply<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(_x->c,
            xcb_xkb_per_client_flags(_x->c, XCB_XKB_ID_USE_CORE_KBD,
                XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
            nullptr));
        if (!use || !use->supported || !flags)
            QVLog("[WARNING] No detectable key repeat on this display: held media keys repeat as presses");
    }

    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(_x->c, _x->root, XCB_CW_EVENT_MASK, &events);
    _x->findNumLock();
    return true;
}

void SPX11KeyGrabber::_loop()
{
    pollfd fds[2] = { { xcb_get_file_descriptor(_x->c), POLLIN, 0 }, { _wakeFd, POLLIN, 0 } };
    while (!_stopping) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(_x->c)) {
            _handleEvent(event);
            std::free(event);
        }
        if (xcb_connection_has_error(_x->c)) {
            QVLog("[WARNING] Lost the X display: media keys are no longer grabbed");
            return;
        }
        xcb_flush(_x->c);
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(_wakeFd, &count, sizeof count);
            _runScheduled();
        }
    }
}

void SPX11KeyGrabber::_runScheduled()
{
    for (;;) {
        std::unique_ptr<SPInvocationGrabber> call;
        {
            std::lock_guard<std::mutex> locker(_scheduledLock);
            if (_scheduled.empty())
                return;
            call = std::move(_scheduled.front());
            _scheduled.pop_front();
        }
        call->invoke();
    }
}

void SPX11KeyGrabber::pauseTapOnTapThread(bool enable)
{
    if (!_x || enable == _grabbed)
        return;
    if (enable)
        _grabKeys();
    else
        _ungrabKeys();
    _grabbed = enable;
    xcb_flush(_x->c);
}

void SPX11KeyGrabber::_grabKeys()
{
    _keyCodes.clear();
    for (const MediaKeySym& key : kMediaKeySyms) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(_x->symbols, key.keysym);
        for (xcb_keycode_t* code = codes; code && *code != XCB_NO_SYMBOL; ++code)
            _keyCodes.emplace(*code, key.keyCode);
        std::free(codes);
    }
    // The keys must work whatever the lock keys' state.
    std::set<uint16_t> modifiers { 0, XCB_MOD_MASK_LOCK };
    if (_x->numLockMask)
        modifiers.insert({ _x->numLockMask, uint16_t(_x->numLockMask | XCB_MOD_MASK_LOCK) });

    std::vector<std::pair<int, xcb_void_cookie_t>> cookies;
    for (const auto& [keycode, mediaKey] : _keyCodes)
        for (uint16_t modifier : modifiers)
            cookies.emplace_back(keycode,
                xcb_grab_key_checked(_x->c, 1, _x->root, modifier, xcb_keycode_t(keycode),
                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::set<int> refused;
    for (const auto& [keycode, cookie] : cookies) {
        const XcbReply<xcb_generic_error_t> error(xcb_request_check(_x->c, cookie));
        if (error && error->error_code == kBadAccess)
            refused.insert(keycode);
    }
    _refusedGrabs = int(refused.size());
    ++_grabRounds;
    if (!refused.empty() && !_loggedRefusal) {
        _loggedRefusal = true;
        QVLog("[WARNING] Another program holds %d media key(s); leaving them to it", int(refused.size()));
    }
}

void SPX11KeyGrabber::_ungrabKeys()
{
    // Only our own grabs go.
    xcb_ungrab_key(_x->c, XCB_GRAB_ANY, _x->root, XCB_MOD_MASK_ANY);
    _keysDown.clear();
}

void SPX11KeyGrabber::_handleEvent(void* generic)
{
    auto* event = static_cast<xcb_generic_event_t*>(generic);
    switch (event->response_type & ~0x80) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        const auto found = _keyCodes.find(key->detail);
        if (found == _keyCodes.end() || !_callbacks.keyEvent)
            return;
        if ((event->response_type & ~0x80) == XCB_KEY_PRESS) {
            const bool repeat = !_keysDown.insert(key->detail).second;
            _callbacks.keyEvent(SPMediaKeyEvent::keyDown(found->second, repeat));
        } else {
            _keysDown.erase(key->detail);
            _callbacks.keyEvent(SPMediaKeyEvent::keyUp(found->second));
        }
        return;
    }
    case XCB_MAPPING_NOTIFY: {
        auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event);
        if (mapping->request == XCB_MAPPING_POINTER)
            return;
        xcb_refresh_keyboard_mapping(_x->symbols, mapping);
        _x->findNumLock();
        if (_grabbed) {
            _ungrabKeys();
            _grabKeys();
        }
        return;
    }
    case XCB_PROPERTY_NOTIFY: {
        auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (property->window != _x->root)
            return;
        if (property->atom == _x->activeWindow)
            _activeWindowChanged();
        else if (property->atom == _x->clientList)
            _clientListChanged();
        return;
    }
    default:
        return;
    }
}

void SPX11KeyGrabber::_activeWindowChanged()
{
    const QByteArray value = _x->property(_x->root, _x->activeWindow, XCB_ATOM_WINDOW, 1);
    if (value.size() < int(sizeof(quint32)) || !_callbacks.applicationActivated)
        return;
    quint32 window;
    std::memcpy(&window, value.constData(), sizeof window);
    if (window == XCB_NONE)
        return;
    const QString id = _applicationIdOf(window);
    if (!id.isEmpty())
        _callbacks.applicationActivated(_pidOf(window), id);
}

void SPX11KeyGrabber::_clientListChanged()
{
    const QByteArray value = _x->property(_x->root, _x->clientList, XCB_ATOM_WINDOW, kMaxClientListLongs);
    std::map<quint32, qint64> now;
    for (int offset = 0; offset + int(sizeof(quint32)) <= value.size(); offset += int(sizeof(quint32))) {
        quint32 window;
        std::memcpy(&window, value.constData() + offset, sizeof window);
        const auto known = _clientPids.find(window);
        now[window] = known != _clientPids.end() ? known->second : _pidOf(window);
    }
    std::set<qint64> before;
    for (const auto& [window, pid] : _clientPids)
        before.insert(pid);
    std::set<qint64> after;
    for (const auto& [window, pid] : now)
        after.insert(pid);
    _clientPids = std::move(now);
    if (!_callbacks.applicationTerminated)
        return;
    for (qint64 pid : before)
        if (pid > 0 && !after.count(pid))
            _callbacks.applicationTerminated(pid);
}

QString SPX11KeyGrabber::_applicationIdOf(quint32 window)
{
    QByteArray id = _x->property(window, _x->gtkApplicationId, _x->utf8String, kMaxPropertyLongs);
    if (id.isEmpty()) {
        id = _x->property(window, _x->kdeDesktopFile, _x->utf8String, kMaxPropertyLongs);
        if (id.endsWith(".desktop"))
            id.chop(8);
    }
    if (id.isEmpty()) {
        // "instance\0class\0"
        const QList<QByteArray> parts
            = _x->property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, kMaxPropertyLongs).split('\0');
        if (parts.size() >= 2)
            id = parts.at(1).toLower();
    }
    return QString::fromUtf8(id.left(int(kMaxPropertyLongs * 4)));
}

qint64 SPX11KeyGrabber::_pidOf(quint32 window)
{
    const QByteArray value = _x->property(window, _x->wmPid, XCB_ATOM_CARDINAL, 1);
    if (value.size() < int(sizeof(quint32)))
        return 0;
    quint32 pid;
    std::memcpy(&pid, value.constData(), sizeof pid);
    return pid;
}

#include "controls/subclass.h"

#include "platform/dialogs.h"
#include "platform/eventlog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QThread>
#include <QWidget>
#include <memory>
#include <new>

namespace controls {

namespace {
constexpr char kLeaveArmed[] = "_sorimba_leaveArmed";
constexpr int kErrorNotEnoughMemory = 8;

int keyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    int s = 0;
    if (buttons & Qt::LeftButton) s |= MK_LBUTTON;
    if (buttons & Qt::RightButton) s |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) s |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) s |= MK_SHIFT;
    if (mods & Qt::ControlModifier) s |= MK_CONTROL;
    return s;
}

Qt::MouseButtons buttonsOf(qint64 keys)
{
    Qt::MouseButtons b;
    if (keys & MK_LBUTTON) b |= Qt::LeftButton;
    if (keys & MK_RBUTTON) b |= Qt::RightButton;
    if (keys & MK_MBUTTON) b |= Qt::MiddleButton;
    return b;
}

Qt::KeyboardModifiers modifiersOf(qint64 keys)
{
    Qt::KeyboardModifiers m;
    if (keys & MK_SHIFT) m |= Qt::ShiftModifier;
    if (keys & MK_CONTROL) m |= Qt::ControlModifier;
    return m;
}

// Virtual key codes of the keys that have one here.
int virtualKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    default: break;
    }
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey; // same codes as ASCII
    return 0;
}

int qtKeyOf(int vk)
{
    switch (vk) {
    case 13: return Qt::Key_Return;
    case 27: return Qt::Key_Escape;
    case 32: return Qt::Key_Space;
    case 9: return Qt::Key_Tab;
    case 8: return Qt::Key_Backspace;
    case 37: return Qt::Key_Left;
    case 38: return Qt::Key_Up;
    case 39: return Qt::Key_Right;
    case 40: return Qt::Key_Down;
    default: break;
    }
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return vk;
    return 0;
}

int buttonMessage(QEvent::Type type, Qt::MouseButton button)
{
    int base;
    switch (button) {
    case Qt::LeftButton: base = wm::LButtonDown; break;
    case Qt::RightButton: base = wm::RButtonDown; break;
    case Qt::MiddleButton: base = wm::MButtonDown; break;
    default: return 0;
    }
    if (type == QEvent::MouseButtonRelease) return base + 1;
    if (type == QEvent::MouseButtonDblClick) return base + 2;
    return base;
}

// A message being delivered by sendWindowMessage, to carry its result back.
struct PendingSend {
    QEvent *event;
    qint32 result;
    bool routed;
};
QList<PendingSend *> &pendingSends()
{
    static QList<PendingSend *> stack;
    return stack;
}

// The platform functions this layer provides, by library.
const QList<std::pair<QString, QString>> kExports = {
    {QStringLiteral("User32"), QStringLiteral("TrackMouseEvent")},
    {QStringLiteral("Comctl32"), QStringLiteral("_TrackMouseEvent")},
    {QStringLiteral("User32"), QStringLiteral("SetWindowRgn")},
    {QStringLiteral("Msimg32"), QStringLiteral("AlphaBlend")},
    {QStringLiteral("Msimg32"), QStringLiteral("GradientFill")},
};
const QList<std::pair<QString, QString>> *exportsOverride = nullptr;
} // namespace

qint64 makePointParam(int x, int y)
{
    return qint64((quint32(quint16(y)) << 16) | quint16(x));
}

int pointParamX(qint64 lParam)
{
    return qint16(quint16(lParam & 0xFFFF));
}

int pointParamY(qint64 lParam)
{
    return qint16(quint16((lParam >> 16) & 0xFFFF));
}

bool messageFromEvent(QWidget *window, QEvent *event, WindowMessage &out)
{
    out = {};
    switch (event->type()) {
    case QEvent::Paint: out.message = wm::Paint; return true;
    case QEvent::MouseMove: {
        auto *m = static_cast<QMouseEvent *>(event);
        const QPoint p = m->position().toPoint();
        out = {wm::MouseMove, keyState(m->buttons(), m->modifiers()), makePointParam(p.x(), p.y())};
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto *m = static_cast<QMouseEvent *>(event);
        const int msg = buttonMessage(event->type(), m->button());
        if (!msg)
            return false;
        const QPoint p = m->position().toPoint();
        out = {msg, keyState(m->buttons(), m->modifiers()), makePointParam(p.x(), p.y())};
        return true;
    }
    case QEvent::Wheel: out.message = wm::MouseWheel; return true;
    case QEvent::Leave:
        if (!window->property(kLeaveArmed).toBool())
            return false;
        // One notification per request, as the platform's tracking does.
        window->setProperty(kLeaveArmed, false);
        out.message = wm::MouseLeave;
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const int vk = virtualKey(static_cast<QKeyEvent *>(event)->key());
        if (!vk)
            return false;
        out = {event->type() == QEvent::KeyPress ? wm::KeyDown : wm::KeyUp, vk, 1};
        return true;
    }
    case QEvent::FocusIn: out.message = wm::SetFocus; return true;
    case QEvent::FocusOut: out.message = wm::KillFocus; return true;
    case QEvent::Resize: {
        const QSize s = window->size();
        out = {wm::Size, 0, makePointParam(s.width(), s.height())};
        return true;
    }
    case QEvent::Move: out = {wm::Move, 0, makePointParam(window->x(), window->y())}; return true;
    case QEvent::Show: out = {wm::ShowWindow, 1, 0}; return true;
    case QEvent::Hide: out = {wm::ShowWindow, 0, 0}; return true;
    case QEvent::Close: out.message = wm::Close; return true;
    default: return false;
    }
}

bool MsgList::routes(int message) const
{
    if (count == ALL_MESSAGES)
        return true;
    for (int i = 1; i <= count && i <= MSG_ENTRIES; ++i)
        if (entries[i] == message)
            return true;
    return false;
}

// One hooked window: its lists, its owner and the routing of its events.
class HookRecord : public QObject {
public:
    qint32 depth = 0;
    bool shutdown = false;
    QPointer<QWidget> window;
    HookOwner *owner = nullptr;
    int ordinal = 1;
    MsgList before;
    MsgList after;
    qint32 userValue = 0;
    // Events currently inside routing, innermost last (for sc_CallPrevProc).
    QList<std::pair<int, QEvent *>> routing;

    bool hadTracking = false;

    bool install(QWidget *w)
    {
        window = w;
        // Qt only delivers moves without a pressed button to tracking widgets;
        // a hooked window hears every move, as on the platform.
        hadTracking = w->hasMouseTracking();
        w->setMouseTracking(true);
        w->installEventFilter(this);
        connect(w, &QObject::destroyed, this, [this] {
            shutdown = true;
            releaseWhenIdle();
        });
        return true;
    }

    // Puts the widget back on its own handling and frees the record, unless a
    // message of it is still being routed; then the outermost one does it.
    void releaseWhenIdle()
    {
        if (!routing.isEmpty())
            return;
        if (window) {
            window->removeEventFilter(this);
            window->setMouseTracking(hadTracking);
        }
        delete this;
    }

    qint32 callPrevious(QEvent *e)
    {
        ++depth;
        QObject *target = window.data();
        const bool r = target ? target->event(e) : false;
        --depth;
        return r ? 1 : 0;
    }

    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (watched != window.data())
            return false;
        WindowMessage m;
        if (!messageFromEvent(window, e, m))
            return false;
        routing.append({m.message, e});
        qint32 result = 0;
        bool handled = false;
        bool released = false;
        if (before.routes(m.message) && owner)
            owner->HookCallback(true, handled, result, window, m.message, m.wParam, m.lParam, userValue);
        if (!handled) {
            result = callPrevious(e);
            if (depth == 0 && shutdown) {
                released = true;
            } else if (after.routes(m.message) && owner && window) {
                owner->HookCallback(false, handled, result, window, m.message, m.wParam, m.lParam, userValue);
            }
        } else {
            e->accept(); // answered by the callback: not passed on to the parent
        }
        routing.removeLast();
        auto &sends = pendingSends();
        if (!sends.isEmpty() && sends.last()->event == e && !sends.last()->routed) {
            sends.last()->result = result;
            sends.last()->routed = true;
        }
        if ((released || shutdown) && routing.isEmpty() && depth == 0)
            releaseWhenIdle();
        // The widget's own handling already ran here (or was replaced).
        return true;
    }
};

SubclassService::SubclassService(HookOwner *control)
    : m_control(control)
{
}

SubclassService::~SubclassService()
{
    sc_UnSubclassAll();
}

QString SubclassService::keyOf(QWidget *window)
{
    return QStringLiteral("h") + QString::number(quintptr(window));
}

int SubclassService::liveRecords() const
{
    int n = 0;
    for (const auto &r : m_allRecords)
        if (r)
            ++n;
    return n;
}

void SubclassService::zReport(const QString &routine, const QString &text) const
{
    const QString type = m_control ? m_control->hookTypeName() : QStringLiteral("Subclass");
    platform::EventLog::write(platform::EventType::Error, type + '.' + routine + QStringLiteral(": ") + text);
    platform::Dialogs::messageBox(QStringLiteral("Error in ") + type + '.' + routine, text + '.',
                                  platform::MessageIcon::Warning);
}

bool SubclassService::sc_Subclass(QWidget *window, qint32 userValue, int ordinal, HookOwner *owner, bool)
{
    const QString routine = QStringLiteral("sc_Subclass");
    // A handle is only looked at once it is known to name a live widget.
    if (!window || !QApplication::allWidgets().contains(window)) {
        zReport(routine, QStringLiteral("Invalid window handle"));
        return false;
    }
    if (window->thread() != QThread::currentThread()) {
        zReport(routine, QStringLiteral("Window handle belongs to another process"));
        return false;
    }
    if (!owner)
        owner = m_control;
    if (!owner || !owner->hasHookCallback(ordinal)) {
        zReport(routine, QStringLiteral("Callback method not found"));
        return false;
    }
    m_hasRegistry = true;
    // Entries whose window died are gone: a new widget may reuse the address.
    std::erase_if(m_registry, [](const auto &entry) { return !entry.second; });
    auto *record = new (std::nothrow) HookRecord;
    if (!record) {
        zReport(routine, QStringLiteral("VirtualAlloc failed, error: ") + QString::number(kErrorNotEnoughMemory));
        return false;
    }
    const QString key = keyOf(window);
    for (const auto &entry : m_registry) {
        if (entry.first == key) {
            delete record;
            zReport(routine, QStringLiteral("Window handle is already subclassed"));
            return false;
        }
    }
    record->userValue = userValue;
    record->owner = owner;
    record->ordinal = ordinal;
    m_registry.emplace_back(key, record);
    record->install(window);
    m_allRecords.append(record);
    return true;
}

HookRecord *SubclassService::zMap_hWnd(QWidget *window)
{
    if (!m_hasRegistry) {
        zReport(QStringLiteral("zMap_hWnd"), QStringLiteral("Subclassing hasn't been started"));
        return nullptr;
    }
    const QString key = keyOf(window);
    for (const auto &entry : m_registry)
        if (entry.first == key && entry.second)
            return entry.second;
    zReport(QStringLiteral("zMap_hWnd"), QStringLiteral("Window handle isn't subclassed"));
    return nullptr;
}

void SubclassService::sc_UnSubclass(QWidget *window)
{
    if (!m_hasRegistry) {
        zReport(QStringLiteral("sc_UnSubclass"), QStringLiteral("Window handle isn't subclassed"));
        return;
    }
    if (HookRecord *record = zMap_hWnd(window)) {
        record->shutdown = true;
        record->before.count = 0;
        record->after.count = 0;
        // Outside any routing of this window nothing can still be inside its
        // handling, so the widget goes back to it at once; otherwise the
        // outermost routing call does it on its way out.
        record->releaseWhenIdle();
    }
    const QString key = keyOf(window);
    for (auto it = m_registry.begin(); it != m_registry.end(); ++it) {
        if (it->first == key) {
            m_registry.erase(it);
            break;
        }
    }
}

void SubclassService::sc_UnSubclassAll()
{
    if (!m_hasRegistry)
        return;
    while (!m_registry.empty()) {
        const auto entry = m_registry.back();
        if (entry.second && entry.second->window) {
            sc_UnSubclass(entry.second->window);
        } else {
            // The window is gone; its record released itself.
            m_registry.pop_back();
        }
    }
    m_hasRegistry = false;
}

void SubclassService::zAddMsg(int message, MsgList &list)
{
    if (message == ALL_MESSAGES) {
        list.count = ALL_MESSAGES;
        return;
    }
    // Holes are looked at before the overflow check, so that a full list
    // with a removed entry still takes a new message.
    for (int i = 1; i <= list.count; ++i) {
        if (list.entries[i] == message)
            return;
    }
    for (int i = 1; i <= list.count; ++i) {
        if (list.entries[i] == 0) {
            list.entries[i] = message;
            return;
        }
    }
    if (list.count >= MSG_ENTRIES) {
        zReport(QStringLiteral("zAddMsg"),
                QStringLiteral("Message table overflow. Either increase the value of Const MSG_ENTRIES or "
                               "use ALL_MESSAGES instead of specific message values"));
        return;
    }
    // From ALL_MESSAGES (count -1) this starts a list of this one message.
    const int next = list.count < 0 ? 1 : list.count + 1;
    list.entries[next] = message;
    list.count = next;
}

void SubclassService::zDelMsg(int message, MsgList &list)
{
    if (message == ALL_MESSAGES) {
        list.count = 0;
        return;
    }
    for (int i = 1; i <= list.count; ++i) {
        if (list.entries[i] == message) {
            list.entries[i] = 0;
            return;
        }
    }
    zReport(QStringLiteral("zDelMsg"), QStringLiteral("Message &H") + QString::number(quint32(message), 16).toUpper()
                                           + QStringLiteral(" not found in table"));
}

void SubclassService::sc_HookMsg(QWidget *window, int message, int when)
{
    HookRecord *record = zMap_hWnd(window);
    if (!record)
        return;
    if (when & MSG_BEFORE)
        zAddMsg(message, record->before);
    if (when & MSG_AFTER)
        zAddMsg(message, record->after);
}

void SubclassService::sc_UnhookMsg(QWidget *window, int message, int when)
{
    HookRecord *record = zMap_hWnd(window);
    if (!record)
        return;
    if (when & MSG_BEFORE)
        zDelMsg(message, record->before);
    if (when & MSG_AFTER)
        zDelMsg(message, record->after);
}

qint32 SubclassService::sc_UserParam(QWidget *window)
{
    HookRecord *record = zMap_hWnd(window);
    return record ? record->userValue : 0;
}

void SubclassService::sc_UserParam(QWidget *window, qint32 value)
{
    if (HookRecord *record = zMap_hWnd(window))
        record->userValue = value;
}

namespace {
// Builds the event a message stands for; nullptr when it has none here.
std::unique_ptr<QEvent> eventFromMessage(QWidget *window, int message, qint64 wParam, qint64 lParam)
{
    const QPointF local(pointParamX(lParam), pointParamY(lParam));
    const QPointF global = window->mapToGlobal(local);
    const auto buttons = buttonsOf(wParam);
    const auto mods = modifiersOf(wParam);
    auto mouse = [&](QEvent::Type type, Qt::MouseButton button) {
        return std::make_unique<QMouseEvent>(type, local, global, button, buttons, mods);
    };
    switch (message) {
    case wm::MouseMove: return mouse(QEvent::MouseMove, Qt::NoButton);
    case wm::LButtonDown: return mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    case wm::LButtonUp: return mouse(QEvent::MouseButtonRelease, Qt::LeftButton);
    case wm::LButtonDblClk: return mouse(QEvent::MouseButtonDblClick, Qt::LeftButton);
    case wm::RButtonDown: return mouse(QEvent::MouseButtonPress, Qt::RightButton);
    case wm::RButtonUp: return mouse(QEvent::MouseButtonRelease, Qt::RightButton);
    case wm::RButtonDblClk: return mouse(QEvent::MouseButtonDblClick, Qt::RightButton);
    case wm::MButtonDown: return mouse(QEvent::MouseButtonPress, Qt::MiddleButton);
    case wm::MButtonUp: return mouse(QEvent::MouseButtonRelease, Qt::MiddleButton);
    case wm::MButtonDblClk: return mouse(QEvent::MouseButtonDblClick, Qt::MiddleButton);
    case wm::KeyDown:
    case wm::KeyUp: {
        const int key = qtKeyOf(int(wParam));
        if (!key)
            return nullptr;
        return std::make_unique<QKeyEvent>(message == wm::KeyDown ? QEvent::KeyPress : QEvent::KeyRelease, key,
                                           Qt::NoModifier);
    }
    case wm::MouseLeave: return std::make_unique<QEvent>(QEvent::Leave);
    default: return nullptr;
    }
}
} // namespace

qint32 SubclassService::sc_CallPrevProc(QWidget *window, int message, qint64 wParam, qint64 lParam)
{
    HookRecord *record = zMap_hWnd(window);
    if (!record || !record->window)
        return 0;
    // Inside the routing of this very message the event itself is handed on.
    for (auto it = record->routing.crbegin(); it != record->routing.crend(); ++it)
        if (it->first == message)
            return record->callPrevious(it->second);
    auto event = eventFromMessage(window, message, wParam, lParam);
    return event ? record->callPrevious(event.get()) : 0;
}

qint32 sendWindowMessage(QWidget *window, int message, qint64 wParam, qint64 lParam)
{
    if (!window)
        return 0;
    auto event = eventFromMessage(window, message, wParam, lParam);
    if (!event)
        return 0;
    if (message == wm::MouseLeave)
        window->setProperty(kLeaveArmed, true);
    PendingSend pending{event.get(), 0, false};
    pendingSends().append(&pending);
    const bool delivered = QCoreApplication::sendEvent(window, event.get());
    pendingSends().removeAll(&pending);
    return pending.routed ? pending.result : (delivered ? 1 : 0);
}

bool ApiExported(const QString &functionName, const QString &libraryName)
{
    const auto &table = exportsOverride ? *exportsOverride : kExports;
    for (const auto &[library, function] : table)
        if (library.compare(libraryName, Qt::CaseInsensitive) == 0 && function == functionName)
            return true;
    return false;
}

void setApiExportsForTesting(const QList<std::pair<QString, QString>> *exports)
{
    exportsOverride = exports;
}

void RequestMouseLeave(QWidget *window)
{
    if (window)
        window->setProperty(kLeaveArmed, true);
}

bool mouseLeaveArmed(QWidget *window)
{
    return window && window->property(kLeaveArmed).toBool();
}

} // namespace controls

#pragma once
// Window message hooks: a control hooks widgets of its own process and has
// chosen messages routed to its callback before and/or after the widget's own
// handling (the "previous procedure"), which the callback may replace.
//
// Qt delivers events, not numbered messages: an event filter per hooked widget
// translates the events that have a message number (paint 15, mouse move 512,
// mouse leave 675, buttons, keys, focus, size...) and routes them; events
// without a number pass through untouched. For a routed event the widget's
// own handling is called directly, so filters installed on the widget before
// the hook do not see it (filters installed later run first, as usual).
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <utility>
#include <vector>

class QEvent;
class QWidget;

namespace controls {

constexpr int MSG_ENTRIES = 32;
constexpr int ALL_MESSAGES = -1;
constexpr int MSG_BEFORE = 1;
constexpr int MSG_AFTER = 2;
constexpr int MSG_BEFORE_AND_AFTER = 3;

// Message numbers the events are known by.
namespace wm {
constexpr int Move = 0x0003;
constexpr int Size = 0x0005;
constexpr int SetFocus = 0x0007;
constexpr int KillFocus = 0x0008;
constexpr int Paint = 0x000F;
constexpr int Close = 0x0010;
constexpr int ShowWindow = 0x0018;
constexpr int KeyDown = 0x0100;
constexpr int KeyUp = 0x0101;
constexpr int MouseMove = 0x0200;
constexpr int LButtonDown = 0x0201;
constexpr int LButtonUp = 0x0202;
constexpr int LButtonDblClk = 0x0203;
constexpr int RButtonDown = 0x0204;
constexpr int RButtonUp = 0x0205;
constexpr int RButtonDblClk = 0x0206;
constexpr int MButtonDown = 0x0207;
constexpr int MButtonUp = 0x0208;
constexpr int MButtonDblClk = 0x0209;
constexpr int MouseWheel = 0x020A;
constexpr int MouseLeave = 0x02A3;
} // namespace wm

// Key state bits in the wParam of mouse messages.
constexpr int MK_LBUTTON = 0x01;
constexpr int MK_RBUTTON = 0x02;
constexpr int MK_SHIFT = 0x04;
constexpr int MK_CONTROL = 0x08;
constexpr int MK_MBUTTON = 0x10;

struct WindowMessage {
    int message = 0;
    qint64 wParam = 0;
    qint64 lParam = 0;
};

// Packs a position as the low (x) and high (y) signed 16-bit words.
qint64 makePointParam(int x, int y);
int pointParamX(qint64 lParam); // signed low word
int pointParamY(qint64 lParam); // signed high word

// The message number an event is known by; false when it has none. A leave
// event is a message only while a leave notification is armed.
bool messageFromEvent(QWidget *window, QEvent *event, WindowMessage &out);

// The side that receives routed messages.
class HookOwner {
public:
    virtual ~HookOwner() = default;
    // Type name used in error reports ("CandyButton").
    virtual QString hookTypeName() const = 0;
    // Whether the owner has a message callback with this ordinal (1 = the one callback).
    virtual bool hasHookCallback(int ordinal) const { return ordinal == 1; }
    virtual void HookCallback(bool before, bool &handled, qint32 &result, QWidget *window, int message,
                              qint64 wParam, qint64 lParam, qint32 &userValue) = 0;
};

// A message list: a count and MSG_ENTRIES entries, numbered from 1.
// Count ALL_MESSAGES routes every message; an entry of 0 is a hole.
struct MsgList {
    qint32 count = 0;
    qint32 entries[MSG_ENTRIES + 1] = {};
    bool routes(int message) const;
};

class HookRecord;

// One hook registry, owned by one control.
class SubclassService {
public:
    explicit SubclassService(HookOwner *control);
    ~SubclassService();
    SubclassService(const SubclassService &) = delete;
    SubclassService &operator=(const SubclassService &) = delete;

    bool sc_Subclass(QWidget *window, qint32 userValue = 0, int ordinal = 1, HookOwner *owner = nullptr,
                     bool designGuard = false);
    void sc_UnSubclass(QWidget *window);
    void sc_UnSubclassAll();
    void sc_HookMsg(QWidget *window, int message, int when = MSG_AFTER);
    void sc_UnhookMsg(QWidget *window, int message, int when = MSG_AFTER);
    // The previous procedure's result for the message; 0 when the window is not hooked.
    qint32 sc_CallPrevProc(QWidget *window, int message, qint64 wParam, qint64 lParam);
    qint32 sc_UserParam(QWidget *window);
    void sc_UserParam(QWidget *window, qint32 value);

    bool hasRegistry() const { return m_hasRegistry; }
    // Hook records of this service not yet released (hooked or shutting down).
    int liveRecords() const;

private:
    friend class HookRecord;
    HookRecord *zMap_hWnd(QWidget *window);
    void zReport(const QString &routine, const QString &text) const;
    void zAddMsg(int message, MsgList &list);
    void zDelMsg(int message, MsgList &list);
    static QString keyOf(QWidget *window);

    HookOwner *m_control;
    bool m_hasRegistry = false;
    // Registry in insertion order: "h" + handle -> record.
    std::vector<std::pair<QString, QPointer<HookRecord>>> m_registry;
    QList<QPointer<HookRecord>> m_allRecords;
};

// Sends a message to a window as the platform would deliver it and returns the
// result it was answered with (through the hooks, when the window is hooked).
// Supported: mouse moves, buttons, keys and the mouse-leave notification;
// others give 0 without being delivered.
qint32 sendWindowMessage(QWidget *window, int message, qint64 wParam, qint64 lParam);

// Mouse-leave tracking.
// Whether the platform layer provides the function under that library name
// (library names compare without regard to case, function names exactly).
bool ApiExported(const QString &functionName, const QString &libraryName);
// Tests: replace the table of provided functions (nullptr restores it).
void setApiExportsForTesting(const QList<std::pair<QString, QString>> *exports);
// Arms one mouse-leave notification (message 675) for the window.
void RequestMouseLeave(QWidget *window);
bool mouseLeaveArmed(QWidget *window);

} // namespace controls

// The window message hook service over Qt event delivery.
#include "controls/subclass.h"
#include "platform/dialogs.h"
#include "platform/eventlog.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

using namespace controls;

namespace {

// A widget that counts what reaches its own handlers.
class Probe : public QWidget {
public:
    Probe() { setMouseTracking(true); }
    int moves = 0;
    std::function<void(QMouseEvent *)> onMove;

protected:
    void mouseMoveEvent(QMouseEvent *e) override
    {
        ++moves;
        if (onMove)
            onMove(e);
    }
};

struct Call {
    bool before;
    int message;
    qint64 wParam;
    qint64 lParam;
    qint32 resultIn;
};

class Owner : public HookOwner {
public:
    QList<Call> calls;
    std::function<void(bool, bool &, qint32 &, int)> react;
    QList<qint32> userValues;
    qint32 userValueOut = 0; // written back when not 0

    QString hookTypeName() const override { return QStringLiteral("TestOwner"); }
    void HookCallback(bool before, bool &handled, qint32 &result, QWidget *, int message, qint64 wParam,
                      qint64 lParam, qint32 &userValue) override
    {
        calls.append({before, message, wParam, lParam, result});
        userValues.append(userValue);
        if (userValueOut)
            userValue = userValueOut;
        if (react)
            react(before, handled, result, message);
    }
};

qint32 move(QWidget *w, int x = 5, int y = 5)
{
    return sendWindowMessage(w, wm::MouseMove, 0, makePointParam(x, y));
}

class Hooks : public ::testing::Test {
protected:
    void SetUp() override { platform::EventLog::clear(); }

    // The last report as the user and the event log saw it.
    void expectReport(const QString &routine, const QString &text)
    {
        ASSERT_FALSE(answers.messages().isEmpty());
        const auto &box = answers.messages().last();
        EXPECT_EQ(box.title, "Error in TestOwner." + routine);
        EXPECT_EQ(box.text, text + '.');
        EXPECT_EQ(box.icon, platform::MessageIcon::Warning);
        EXPECT_EQ(box.buttons, platform::MessageButtons::Ok);
        const auto log = platform::EventLog::entries();
        ASSERT_FALSE(log.isEmpty());
        EXPECT_EQ(log.last().type, platform::EventType::Error);
        EXPECT_EQ(log.last().text, "TestOwner." + routine + ": " + text);
    }

    platform::ScopedDialogAnswers answers;
    Owner owner;
    Probe widget;
    SubclassService hooks{&owner};
};

} // namespace

TEST_F(Hooks, SecondHookOfSameWindowIsRefusedAndFirstKeepsWorking)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    hooks.sc_HookMsg(&widget, wm::MouseMove, MSG_AFTER);
    EXPECT_FALSE(hooks.sc_Subclass(&widget, 5));
    expectReport("sc_Subclass", "Window handle is already subclassed");
    move(&widget);
    ASSERT_EQ(owner.calls.size(), 1);
    EXPECT_FALSE(owner.calls[0].before);
    EXPECT_EQ(widget.moves, 1);
    EXPECT_EQ(hooks.sc_UserParam(&widget), 0); // the first record's value
}

TEST_F(Hooks, SubclassRefusals)
{
    EXPECT_FALSE(hooks.sc_Subclass(nullptr));
    expectReport("sc_Subclass", "Invalid window handle");
    EXPECT_FALSE(hooks.sc_Subclass(&widget, 0, 2));
    expectReport("sc_Subclass", "Callback method not found");
    SubclassService ownerless(nullptr);
    EXPECT_FALSE(ownerless.sc_Subclass(&widget));
    EXPECT_EQ(answers.messages().size(), 3);
}

TEST_F(Hooks, MapReportsBeforeAndAfterStart)
{
    hooks.sc_HookMsg(&widget, wm::Paint, MSG_BEFORE);
    expectReport("zMap_hWnd", "Subclassing hasn't been started");
    hooks.sc_UnSubclass(&widget);
    expectReport("sc_UnSubclass", "Window handle isn't subclassed");
    Probe other;
    ASSERT_TRUE(hooks.sc_Subclass(&other));
    EXPECT_EQ(hooks.sc_UserParam(&widget), 0);
    expectReport("zMap_hWnd", "Window handle isn't subclassed");
    EXPECT_EQ(hooks.sc_CallPrevProc(&widget, wm::MouseMove, 0, 0), 0);
}

TEST_F(Hooks, MessageListKeepsOneCopyReusesHolesAndHoldsThirtyTwo)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    // A duplicate takes no entry: 32 distinct messages still fit after it.
    hooks.sc_HookMsg(&widget, wm::MouseMove, MSG_AFTER);
    hooks.sc_HookMsg(&widget, wm::MouseMove, MSG_AFTER);
    for (int m = 1; m < MSG_ENTRIES; ++m)
        hooks.sc_HookMsg(&widget, 0x400 + m, MSG_AFTER);
    EXPECT_TRUE(answers.messages().isEmpty()) << "32nd message refused";

    hooks.sc_HookMsg(&widget, wm::LButtonDown, MSG_AFTER);
    expectReport("zAddMsg", "Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
                            "ALL_MESSAGES instead of specific message values");
    EXPECT_EQ(sendWindowMessage(&widget, wm::LButtonDown, MK_LBUTTON, 0), 1);
    EXPECT_TRUE(owner.calls.isEmpty()) << "the refused message must not be routed";

    // Removing one leaves a hole that the next add takes.
    const auto reported = answers.messages().size();
    hooks.sc_UnhookMsg(&widget, wm::MouseMove, MSG_AFTER);
    hooks.sc_HookMsg(&widget, wm::LButtonDown, MSG_AFTER);
    EXPECT_EQ(answers.messages().size(), reported);
    move(&widget);
    sendWindowMessage(&widget, wm::LButtonDown, MK_LBUTTON, 0);
    ASSERT_EQ(owner.calls.size(), 1);
    EXPECT_EQ(owner.calls[0].message, wm::LButtonDown);
}

TEST_F(Hooks, RemovingAnAbsentMessageReportsItInHex)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    hooks.sc_UnhookMsg(&widget, 512, MSG_BEFORE);
    expectReport("zDelMsg", "Message &H200 not found in table");
    hooks.sc_HookMsg(&widget, ALL_MESSAGES, MSG_AFTER);
    hooks.sc_UnhookMsg(&widget, wm::MouseLeave, MSG_AFTER);
    expectReport("zDelMsg", "Message &H2A3 not found in table");
    EXPECT_EQ(answers.messages().size(), 2);
}

TEST_F(Hooks, AllMessagesRoutesEverythingUntilASingleMessageIsAdded)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    hooks.sc_HookMsg(&widget, ALL_MESSAGES, MSG_BEFORE);
    move(&widget);
    sendWindowMessage(&widget, wm::LButtonDown, MK_LBUTTON, 0);
    EXPECT_EQ(owner.calls.size(), 2);
    hooks.sc_HookMsg(&widget, wm::LButtonDown, MSG_BEFORE);
    owner.calls.clear();
    move(&widget);
    sendWindowMessage(&widget, wm::LButtonDown, MK_LBUTTON, 0);
    ASSERT_EQ(owner.calls.size(), 1);
    EXPECT_EQ(owner.calls[0].message, wm::LButtonDown);
}

TEST_F(Hooks, HandledBeforeCallKeepsMessageFromWidgetAndAfterList)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    hooks.sc_HookMsg(&widget, wm::MouseMove, MSG_BEFORE_AND_AFTER);
    owner.react = [](bool before, bool &handled, qint32 &result, int) {
        if (before) {
            handled = true;
            result = 7;
        }
    };
    EXPECT_EQ(move(&widget), 7);
    EXPECT_EQ(widget.moves, 0);
    ASSERT_EQ(owner.calls.size(), 1);
    EXPECT_TRUE(owner.calls[0].before);

    // Unhandled: the widget answers, and the after call sees and replaces that.
    owner.calls.clear();
    owner.react = [](bool before, bool &, qint32 &result, int) {
        if (!before)
            result = 42;
    };
    EXPECT_EQ(move(&widget), 42);
    EXPECT_EQ(widget.moves, 1);
    ASSERT_EQ(owner.calls.size(), 2);
    EXPECT_EQ(owner.calls[1].resultIn, 1);
}

TEST_F(Hooks, NoCallbackAfterUnsubclassAndWidgetRunsOnAlone)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    hooks.sc_HookMsg(&widget, ALL_MESSAGES, MSG_BEFORE_AND_AFTER);
    hooks.sc_UnSubclass(&widget);
    EXPECT_EQ(hooks.liveRecords(), 0);
    move(&widget);
    move(&widget);
    EXPECT_TRUE(owner.calls.isEmpty());
    EXPECT_EQ(widget.moves, 2);
    // The window can be hooked again afterwards.
    EXPECT_TRUE(hooks.sc_Subclass(&widget));
}

TEST_F(Hooks, UnhookInsideNestedMessageTakesEffectWhenOutermostReturns)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    hooks.sc_HookMsg(&widget, wm::MouseMove, MSG_AFTER);
    // The widget's own handling sends a second move to itself, once.
    widget.onMove = [this](QMouseEvent *) {
        if (widget.moves == 1)
            move(&widget, 9, 9);
    };
    int liveInside = -1;
    owner.react = [&](bool, bool &, qint32 &, int) {
        if (owner.calls.size() == 1) { // the nested message's after call
            hooks.sc_UnSubclass(&widget);
            liveInside = hooks.liveRecords();
        }
    };
    move(&widget);
    EXPECT_EQ(widget.moves, 2);
    ASSERT_EQ(owner.calls.size(), 1) << "the outer message's after call must not run";
    EXPECT_EQ(pointParamX(owner.calls[0].lParam), 9);
    EXPECT_EQ(liveInside, 1) << "released while the outer call was still inside the widget";
    EXPECT_EQ(hooks.liveRecords(), 0);
    move(&widget);
    EXPECT_EQ(owner.calls.size(), 1);
    EXPECT_EQ(widget.moves, 3);
}

TEST_F(Hooks, UnsubclassAllAndDestroyedWindows)
{
    auto *doomed = new Probe;
    Probe kept;
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    ASSERT_TRUE(hooks.sc_Subclass(doomed));
    ASSERT_TRUE(hooks.sc_Subclass(&kept));
    delete doomed; // its record goes with it
    EXPECT_EQ(hooks.liveRecords(), 2);
    hooks.sc_UnSubclassAll();
    EXPECT_EQ(hooks.liveRecords(), 0);
    EXPECT_FALSE(hooks.hasRegistry());
    EXPECT_TRUE(answers.messages().isEmpty());
}

TEST_F(Hooks, MouseMoveCarriesKeyStateAndSignedPosition)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    hooks.sc_HookMsg(&widget, wm::MouseMove, MSG_AFTER);
    QMouseEvent e(QEvent::MouseMove, QPointF(-3, 5), widget.mapToGlobal(QPointF(-3, 5)), Qt::NoButton,
                  Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&widget, &e);
    ASSERT_EQ(owner.calls.size(), 1);
    EXPECT_EQ(owner.calls[0].wParam, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(owner.calls[0].lParam, 0x0005FFFD);
    EXPECT_EQ(pointParamX(owner.calls[0].lParam), -3);
    EXPECT_EQ(pointParamY(owner.calls[0].lParam), 5);
}

TEST_F(Hooks, MouseLeaveIsReportedOncePerRequest)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget));
    hooks.sc_HookMsg(&widget, wm::MouseLeave, MSG_AFTER);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&widget, &leave);
    EXPECT_TRUE(owner.calls.isEmpty()) << "no request, no notification";
    RequestMouseLeave(&widget);
    QCoreApplication::sendEvent(&widget, &leave);
    QCoreApplication::sendEvent(&widget, &leave);
    ASSERT_EQ(owner.calls.size(), 1);
    EXPECT_EQ(owner.calls[0].message, wm::MouseLeave);
    EXPECT_FALSE(mouseLeaveArmed(&widget));
}

TEST(HookApi, ExportTable)
{
    EXPECT_TRUE(ApiExported("TrackMouseEvent", "User32"));
    EXPECT_TRUE(ApiExported("TrackMouseEvent", "USER32"));
    EXPECT_TRUE(ApiExported("_TrackMouseEvent", "Comctl32"));
    EXPECT_FALSE(ApiExported("trackmouseevent", "User32"));
    EXPECT_FALSE(ApiExported("TrackMouseEvent", "Kernel32"));
    const QList<std::pair<QString, QString>> none;
    setApiExportsForTesting(&none);
    EXPECT_FALSE(ApiExported("TrackMouseEvent", "User32"));
    setApiExportsForTesting(nullptr);
    EXPECT_TRUE(ApiExported("TrackMouseEvent", "User32"));
}

TEST_F(Hooks, UserValueTravelsThroughCallbacksAndPreviousProcedureCanBeCalled)
{
    ASSERT_TRUE(hooks.sc_Subclass(&widget, 5));
    hooks.sc_HookMsg(&widget, wm::MouseMove, MSG_AFTER);
    owner.userValueOut = 6;
    move(&widget);
    EXPECT_EQ(hooks.sc_UserParam(&widget), 6);
    owner.userValueOut = 0;
    hooks.sc_UserParam(&widget, 9);
    move(&widget);
    EXPECT_EQ(owner.userValues, QList<qint32>({5, 9}));

    // The widget's own handling, reached without any callback.
    owner.calls.clear();
    EXPECT_EQ(hooks.sc_CallPrevProc(&widget, wm::MouseMove, 0, makePointParam(3, 4)), 1);
    EXPECT_EQ(widget.moves, 3);
    EXPECT_TRUE(owner.calls.isEmpty());
    EXPECT_EQ(hooks.sc_CallPrevProc(&widget, wm::Close + 0x7000, 0, 0), 0); // no such message here
    EXPECT_TRUE(answers.messages().isEmpty());
}

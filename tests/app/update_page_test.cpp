// The update window against hostile maker pages served by the simulator: the
// program neither crashes nor stops answering, shows what passes the page
// bounds, tells why a page that does not pass is not shown, and lets the
// window close at once afterwards. What each page looks like goes to
// screens/update-window-VARIANT.png in the build folder.
#include "app/application.h"
#include "app/frmupdate.h"
#include "support/sim_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

using namespace testsupport;

namespace {

class UpdatePageTest : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
    }
};

// The longest time the event loop went without running a 20 ms timer.
class Heartbeat {
public:
    Heartbeat()
    {
        m_clock.start();
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestGapMs = qMax(m_longestGapMs, m_clock.restart());
        });
        m_timer.start();
    }
    qint64 longestGapMs() const { return qMax(m_longestGapMs, m_clock.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longestGapMs = 0;
};

TEST_F(UpdatePageTest, HostileMakerPagesNeitherCrashNorFreezeTheWindow)
{
    const QString listed = QStringLiteral("실시간 차트를 불러오는 속도가 빨라졌습니다");
    struct Case {
        const char *variants;
        const char *shows; // text of the page or of the failure line
    } cases[] = {
        {"quick,tables20", "표 안의 글"},
        {"quick,tables30", "표 안의 글"},
        {"quick,tables100", "표 안의 글"},
        {"quick,tables300", "페이지를 불러오지 못했습니다 (페이지가 512단계 넘게 겹쳐 있음)"},
        {"quick,tables3000", "페이지를 불러오지 못했습니다 (페이지가 512단계 넘게 겹쳐 있음)"},
        {"quick,word16", "wwwwwwww"},
        {"quick,word1024", "페이지를 불러오지 못했습니다 (글이 20000자를 넘음)"},
        {"quick,runs16000", "xyxyxyxy"},
        {"quick,text16", "업데이트 내용을 알려 드립니다."},
        {"quick,text64", "페이지를 불러오지 못했습니다 (글이 20000자를 넘음)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variants);
        qputenv("SORIMBA_MAKER_URL", (portal.baseUrl() + "/_v/" + c.variants + "/maker/update.html").toUtf8());
        bool next = false;
        QPointer<app::FrmUpdate> window = new app::FrmUpdate([&] { next = true; });
        Heartbeat heartbeat;
        window->Load();
        ASSERT_TRUE(window->isVisible());
        ASSERT_TRUE(waitUntil([&] { return !window->W->Busy(); }, 30000));
        // The page is laid out and painted; a zero timer still comes through.
        window->W->viewport()->update();
        bool answered = false;
        QTimer::singleShot(0, [&] { answered = true; });
        EXPECT_TRUE(waitUntil([&] { return answered; }, 1000));
        EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the window did not answer for so long";

        const QString screens = QStringLiteral(SORIMBA_BINARY_DIR "/screens");
        QDir().mkpath(screens);
        window->grab().save(screens + "/update-window-" + QString::fromLatin1(c.variants).section(',', 1) + ".png");
        const QString shown = window->W->toPlainText().remove(QChar(0x200B));
        EXPECT_TRUE(shown.contains(QString::fromUtf8(c.shows))) << shown.left(300).toStdString();
        if (!window->W->host()->failed()) {
            EXPECT_TRUE(shown.contains(listed)); // the rest of the page is there too
        }
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(next);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(window);
    }
}

} // namespace

// Opens the download window for one music address and plays it, so that the
// player, its keys and the desktop's media controls can be tried without a
// portal page:
//
//   sorimba-player-window http://127.0.0.1:8080/files/tone30s-32k.mp3
//   sorimba-player-window ADDRESS --shots DIR   # pictures of the window, then it ends
//
// With --shots it saves the window while playing, after a 10 s seek by the
// Right key, with the volume shown after the Down key, and with the keyboard
// focus moved by Tab.
#include "app/application.h"
#include "download/frmdownload.h"
#include "platform/mpris/mprisservice.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTextStream>
#include <QTimer>
#include <functional>

namespace {

// Steps taken one after another, each when its condition holds; polled, so
// that the window keeps running meanwhile.
class Steps : public QObject {
public:
    using Condition = std::function<bool()>;
    using Action = std::function<void()>;
    void add(Condition when, Action then) { m_steps.push_back({std::move(when), std::move(then)}); }
    void start()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (m_next < m_steps.size() && m_steps[m_next].first()) {
                m_steps[m_next].second();
                ++m_next;
            }
        });
        m_poll.start(50);
    }

private:
    std::vector<std::pair<Condition, Action>> m_steps;
    size_t m_next = 0;
    QTimer m_poll;
};

void pressKey(QWidget *window, Qt::Key key)
{
    QWidget *target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    app::initApplication();
    QTextStream out(stdout);
    const QStringList args = application.arguments();
    if (args.size() < 2 || args[1].startsWith('-')) {
        QTextStream(stderr) << "usage: sorimba-player-window ADDRESS [--shots DIR]\n";
        return 2;
    }
    const int shotsAt = args.indexOf(QStringLiteral("--shots"));
    const QString shotDir = shotsAt > 0 && shotsAt + 1 < args.size() ? args[shotsAt + 1] : QString();

    download::frmDownload window;
    QObject::connect(&window, &download::frmDownload::windowClosed, &application, &QCoreApplication::quit);
    window.show();
    window.ReadyDown(args[1]);
    out << "media controls: "
        << (window.mediaControls()->offered() ? window.mediaControls()->serviceName() : QStringLiteral("not offered"))
        << Qt::endl;
    if (shotDir.isEmpty())
        return application.exec();

    QDir().mkpath(shotDir);
    const auto shot = [&](const QString &name) {
        const QString path = QDir(shotDir).filePath(name);
        window.grab().save(path);
        out << "screenshot: " << path << "  time \"" << window.cpaTime->caption() << "\"  status \""
            << window.capSt->caption() << "\"" << Qt::endl;
    };
    using State = platform::MediaPlayer::State;
    auto *player = window.W;
    Steps steps;
    double seekFrom = 0;
    steps.add([&] { return player->state() == State::Playing && player->controls().currentPosition() >= 3.2; },
              [&] { shot(QStringLiteral("player-1-playing.png")); });
    steps.add([] { return true; }, [&] {
        seekFrom = player->controls().currentPosition();
        pressKey(&window, Qt::Key_Right);
    });
    steps.add([&] { return player->controls().currentPosition() >= seekFrom + 9.5; },
              [&] { shot(QStringLiteral("player-2-after-seek.png")); });
    steps.add([] { return true; }, [&] {
        pressKey(&window, Qt::Key_Down);
        pressKey(&window, Qt::Key_Down);
        pressKey(&window, Qt::Key_Down);
    });
    steps.add([] { return true; }, [&] { shot(QStringLiteral("player-3-volume.png")); });
    // Tab from the play button through pause, the fast buttons and back 10 s
    // to forward 10 s.
    steps.add([] { return true; }, [&] {
        for (int i = 0; i < 5; ++i)
            pressKey(&window, Qt::Key_Tab);
    });
    steps.add([] { return true; }, [&] {
        shot(QStringLiteral("player-4-focus.png"));
        window.close();
    });
    steps.start();
    return application.exec();
}

#include "download/frmdownload.h"

#include "download/filenames.h"
#include "download/foldersetting.h"
#include "download/format.h"
#include "download/numbertext.h"
#include "download/targetfile.h"
#include "download/volumesetting.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/mpris/mprisservice.h"
#include "platform/transfer/waitforhead.h"
#include "platform/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <climits>
#include <cmath>

namespace download {

using controls::SkinButton;
using controls::SkinImage;
using controls::SkinLabel;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageResult;
using platform::px;
using platform::twipRect;
using PlayerState = platform::MediaPlayer::State;

namespace {

constexpr int kVolumeStep = 5;            // percent per key press or wheel notch
constexpr int kVolumeNoteMs = 1500;       // how long the status line shows the volume
constexpr int kPositionRefreshMs = 250;   // the elapsed time moves on each whole second

bool isPlaying(PlayerState state)
{
    return state == PlayerState::Playing || state == PlayerState::Buffering || state == PlayerState::Connecting;
}

void message(QWidget *owner, const QString &title, const QString &text, MessageIcon icon)
{
    platform::Dialogs::messageBox(title, text, icon, MessageButtons::Ok, MessageResult::Ok, owner);
}

} // namespace

frmDownload::frmDownload(QWidget *parent) : QWidget(parent, Qt::Window)
{
    controls::setUpWindow(this, QStringLiteral("frmDownload"), QStringLiteral("다운로드"));
    controls::useFixedSingleBorder(this, QSize(px(7215), px(4320)));
    controls::useWhiteBackground(this);
    m_definition = controls::loadWindowDefinition(QStringLiteral(":/forms/frmDownload.def"));
    Ine = new platform::TransferControl(this);
    m_transfer = new FileTransfer(Ine, this);
    // The bar counts in units of 10 bytes; a last step past the end shows full.
    // Without a known size the bar stays empty until the end.
    connect(m_transfer, &FileTransfer::sizeKnown, this, [this](qint64 size) {
        m_announcedSize = size;
        m_barFollowsTransfer = size >= 0;
        Pro->setMax(size >= 0 ? int(qMin<qint64>(roundHalfEven(size / 10.0), INT_MAX)) : 1);
        Pro->setValue(0);
    });
    connect(m_transfer, &FileTransfer::progressed, this, [this](qint64 counter) {
        if (m_barFollowsTransfer)
            Pro->setValue(int(qMin<qint64>(roundHalfEven(counter / 10.0), INT_MAX)));
        // Until a figure above 0 is on show, each chunk measures too: a fast
        // transfer is half done before the first tick and must not read 0.
        if (!m_speedShown)
            Timer1_Timer();
    });
    W = new platform::MediaPlayer(this);
    W->settings().setVolume(loadVolume());
    connect(W, &platform::MediaPlayer::StatusChange, this, &frmDownload::W_StatusChange);
    connect(W, &platform::MediaPlayer::PositionChange, this, &frmDownload::updateTimeLabel);
    connect(W, &platform::MediaPlayer::VolumeChange, this, [this] {
        storeVolume(W->settings().volume());
        showVolume();
    });
    m_positionTimer = new QTimer(this);
    m_positionTimer->setInterval(kPositionRefreshMs);
    connect(m_positionTimer, &QTimer::timeout, this, &frmDownload::updateTimeLabel);
    m_volumeNote = new QTimer(this);
    m_volumeNote->setSingleShot(true);
    m_volumeNote->setInterval(kVolumeNoteMs);
    connect(m_volumeNote, &QTimer::timeout, this, [this] { showPlayerStatus(W->status()); });
    m_mpris = new platform::MprisService(
        W, {QStringLiteral("Sorimba 2"), QStringLiteral("sorimba2"), QStringLiteral("sorimba2")}, this);
    connect(m_mpris, &platform::MprisService::raiseRequested, this, [this] {
        show();
        raise();
        activateWindow();
    });
    connect(m_mpris, &platform::MprisService::quitRequested, this, &frmDownload::quitFromDesktop);
    buildControls();
    setUpPlayerKeys();

    // The folder box shows the stored folder and stores every change at once.
    connect(txtPath, &QLineEdit::textChanged, this, [this](const QString &text) {
        storeDownloadPath(text);
        if (QFileInfo(text.trimmed()).isDir())
            m_lastExistingFolder = text;
    });
    txtPath->setText(loadDownloadPath());
    storeDownloadPath(txtPath->text());

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &frmDownload::Timer1_Timer);
    m_tickClock.start();
    Timer1->start();
}

frmDownload::~frmDownload() = default;

QWidget *frmDownload::addHotSpot(const QRect &geometry)
{
    auto *spot = new QWidget(this);
    spot->setGeometry(geometry);
    spot->setCursor(Qt::PointingHandCursor);
    spot->installEventFilter(this);
    return spot;
}

void frmDownload::buildControls()
{
    const auto label = [this](const QString &name, const QRect &geometry) {
        return controls::makeLabel(this, m_definition, name, geometry);
    };
    const auto button = [this](const QString &name, const QRect &geometry) {
        return controls::makeButton(this, m_definition, name, geometry);
    };
    controls::makePicture(this, QStringLiteral(":/pictures/download_back.jpg"), twipRect(120, 120, 7050, 4035));
    const auto image = [this](const QString &name, const QRect &geometry) {
        return controls::makeImage(this, m_definition, name, geometry);
    };
    aicAlphaImage1 = image(QStringLiteral("aicAlphaImage1"), twipRect(360, 360, 720, 720));
    label(QStringLiteral("lblName"), twipRect(1200, 360, 1215, 255));
    label(QStringLiteral("lblSize"), twipRect(1200, 720, 1335, 255));
    txtFN = new QLineEdit(this);
    txtFN->setGeometry(twipRect(1920, 360, 4935, 270));
    cpaSize = label(QStringLiteral("cpaSize"), twipRect(2160, 720, 1575, 255));
    label(QStringLiteral("lblMB"), twipRect(3720, 720, 615, 255));
    label(QStringLiteral("lblQuality"), twipRect(4320, 720, 735, 255));
    Caption5 = label(QStringLiteral("Caption5"), twipRect(4920, 720, 2055, 255));
    Pro = controls::makeProgressBar(this, m_definition, QStringLiteral("Pro"), twipRect(360, 1320, 6495, 375));
    label(QStringLiteral("lblSpeed"), twipRect(360, 1800, 1335, 375));
    capDown = label(QStringLiteral("capDown"), twipRect(840, 1800, 735, 375));
    label(QStringLiteral("lblUnit"), twipRect(1560, 1800, 495, 375));
    cpaTime = label(QStringLiteral("cpaTime"), twipRect(2160, 1800, 1815, 375));
    capSt = label(QStringLiteral("capSt"), twipRect(240, 2160, 3735, 495));
    CandyButton1 = button(QStringLiteral("CandyButton1"), twipRect(4080, 1920, 1335, 615));
    CandyButton3 = button(QStringLiteral("CandyButton3"), twipRect(5520, 1920, 1335, 615));
    label(QStringLiteral("lblPath"), twipRect(360, 2760, 1335, 255));
    txtPath = new QLineEdit(this);
    txtPath->setGeometry(twipRect(960, 2760, 5415, 270));
    CandyButton2 = button(QStringLiteral("CandyButton2"), twipRect(6480, 2760, 375, 255));
    m_dock = controls::makePicture(this, QStringLiteral(":/pictures/download_player.jpg"), twipRect(195, 3240, 7995, 1170));
    Image3 = addHotSpot(twipRect(360, 3240, 495, 495));
    Image5 = addHotSpot(twipRect(840, 3240, 375, 495));
    Image6 = addHotSpot(twipRect(1200, 3240, 375, 495));
    Image7 = addHotSpot(twipRect(1560, 3240, 495, 495));
    Image4 = addHotSpot(twipRect(240, 240, 135, 135));
    label(QStringLiteral("lblSeek"), twipRect(2160, 3120, 1335, 255));
    aicAlphaImage3 = image(QStringLiteral("aicAlphaImage3"), twipRect(2280, 3285, 360, 360));
    aicAlphaImage2 = image(QStringLiteral("aicAlphaImage2"), twipRect(2760, 3285, 360, 360));

    connect(CandyButton1, &SkinButton::Click, this, &frmDownload::CandyButton1_Click);
    connect(CandyButton2, &SkinButton::Click, this, &frmDownload::CandyButton2_Click);
    connect(CandyButton3, &SkinButton::Click, this, &QWidget::close);
    connect(aicAlphaImage2, &SkinImage::Click, this, [this] { seekBy(10); });
    connect(aicAlphaImage3, &SkinImage::Click, this, [this] { seekBy(-10); });
}

// The player's buttons take the keyboard focus by Tab (not by a click, as
// the buttons drawn on the bar never looked pressed), in the order they stand.
void frmDownload::setUpPlayerKeys()
{
    m_focusMark = new FocusMark(this);
    m_dock->installEventFilter(this);
    const std::pair<QWidget *, const char *> buttons[] = {
        {Image3, "재생"},       {Image5, "일시 정지"},   {Image6, "빨리 되감기"},
        {Image7, "빨리 감기"}, {aicAlphaImage3, "10초 뒤로"}, {aicAlphaImage2, "10초 앞으로"},
    };
    QWidget *previous = nullptr;
    for (const auto &[button, name] : buttons) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(QString::fromUtf8(name));
        m_focusMark->watch(button);
        // The images keep every key to themselves: the window sees them first.
        button->installEventFilter(this);
        if (previous)
            setTabOrder(previous, button);
        previous = button;
    }
}

bool frmDownload::isPlayerButton(QObject *object) const
{
    return object == Image3 || object == Image5 || object == Image6 || object == Image7 || object == aicAlphaImage2
           || object == aicAlphaImage3;
}

void frmDownload::pressPlayerButton(QObject *button)
{
    auto &controls = W->controls();
    if (button == Image3)
        controls.play();
    else if (button == Image5)
        controls.pause();
    else if (button == Image6)
        controls.fastReverse();
    else if (button == Image7)
        controls.fastForward();
    else if (button == aicAlphaImage2)
        seekBy(10);
    else if (button == aicAlphaImage3)
        seekBy(-10);
}

void frmDownload::seekBy(double seconds)
{
    auto &controls = W->controls();
    controls.setCurrentPosition(controls.currentPosition() + seconds);
    updateTimeLabel(); // the place asked for shows at once
}

bool frmDownload::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        // The seek images answer their own Click.
        if (watched == Image4)
            Image4_Click();
        else if (watched != aicAlphaImage2 && watched != aicAlphaImage3 && isPlayerButton(watched))
            pressPlayerButton(watched);
    } else if (event->type() == QEvent::Wheel && (watched == m_dock || isPlayerButton(watched))) {
        // Caught here, as the images take the wheel for themselves.
        turnVolume(static_cast<QWheelEvent *>(event));
        return true;
    } else if (event->type() == QEvent::KeyPress && isPlayerButton(watched)) {
        if (playerKey(static_cast<QKeyEvent *>(event), watched))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

// The player's keys, from whichever control they reach the window. A text
// box keeps every key typed into it, the arrows and the space included.
bool frmDownload::playerKey(QKeyEvent *event, QObject *from)
{
    if (qobject_cast<QLineEdit *>(focusWidget()) || qobject_cast<QLineEdit *>(from))
        return false;
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_Space:
        if (!event->isAutoRepeat())
            togglePlay();
        return true;
    case Qt::Key_Left:
        seekBy(-10);
        return true;
    case Qt::Key_Right:
        seekBy(10);
        return true;
    case Qt::Key_Up:
        changeVolume(1);
        return true;
    case Qt::Key_Down:
        changeVolume(-1);
        return true;
    case Qt::Key_M:
        if (!event->isAutoRepeat())
            W->settings().setMute(!W->settings().mute());
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused player button is pressed as by a click.
        if (!isPlayerButton(from))
            return false;
        if (!event->isAutoRepeat())
            pressPlayerButton(from);
        return true;
    default:
        return false;
    }
}

void frmDownload::togglePlay()
{
    if (isPlaying(W->state()))
        W->controls().pause();
    else
        W->controls().play();
}

void frmDownload::changeVolume(int steps)
{
    auto &settings = W->settings();
    settings.setMute(false); // turning it up or down is meant to be heard
    settings.setVolume(settings.volume() + steps * kVolumeStep);
    showVolume(); // also at either end, where the level stays
}

void frmDownload::showVolume()
{
    const auto &settings = W->settings();
    showPlayerStatus(settings.mute() ? QStringLiteral("음소거") : QStringLiteral("음량 %1%").arg(settings.volume()));
    m_volumeNote->start();
}

void frmDownload::showPlayerStatus(const QString &text)
{
    // The buttons beside the status line leave it no more room: a long cause
    // ends in an ellipsis and is read whole in the tooltip.
    controls::showStatusText(capSt, text, {}, controls::StatusRoom::Own);
}

void frmDownload::wheelEvent(QWheelEvent *event)
{
    if (!m_dock->geometry().contains(event->position().toPoint())) {
        QWidget::wheelEvent(event);
        return;
    }
    turnVolume(event);
}

void frmDownload::turnVolume(QWheelEvent *event)
{
    // One notch is 120 eighths of a degree; finer wheels add up to it.
    m_wheelEighths += event->angleDelta().y();
    const int steps = m_wheelEighths / 120;
    m_wheelEighths -= steps * 120;
    if (steps != 0)
        changeVolume(steps);
    event->accept();
}

void frmDownload::updateTimeLabel()
{
    if (!m_playerOnAddress)
        return;
    const double total = W->currentMedia().duration();
    const double elapsed = W->state() == PlayerState::Ended ? total : W->controls().currentPosition();
    cpaTime->setCaption(PositionText(elapsed, total));
}

void frmDownload::setMediaControlBus(const QDBusConnection &bus)
{
    m_mpris->setBus(bus);
    if (isVisible())
        m_mpris->offer();
}

void frmDownload::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_mpris->offered())
        m_mpris->offer();
}

// Quit from the desktop ends the program as closing its main window does; a
// running download refuses it, as it refuses closing this window.
void frmDownload::quitFromDesktop()
{
    if (IsDownloading()) {
        QApplication::beep();
        return;
    }
    QWidget *owner = parentWidget() ? parentWidget()->window() : this;
    owner->close();
}

void frmDownload::ReadyDown(QString &address)
{
    if (IsDownloading()) {
        message(this, QStringLiteral("다운로드"), QStringLiteral("다운로드 중입니다. 끝난 뒤에 다시 시도하세요."),
                MessageIcon::Information);
        return;
    }
    const quint64 call = ++m_readyGeneration;
    if (address.endsWith('"'))
        address.chop(1);
    DownURL = address;
    // Nothing of the last song is shown for the new one, not even while the
    // new one's size is asked or when it turns out to be no music.
    clearSongFields();
    const QString name = musicFileName(address);
    txtFN->setText(proposedFileName(name.isEmpty() ? address.mid(address.lastIndexOf('/') + 1) : name));
    if (name.isEmpty()) {
        message(this, QStringLiteral("경고"), QStringLiteral("음악 파일이 아닙니다. "), MessageIcon::Warning);
        close();
        return;
    }
    // The player's keys work at once; a click into a box types there.
    Image3->setFocus(Qt::OtherFocusReason);
    Ine->Execute(address, QStringLiteral("GET"));
    platform::WaitWhileExecuting(Ine);
    // The window was closed or given a newer address meanwhile: playing this
    // one now would sound from a closed window, or under another song's name.
    if (call != m_readyGeneration) {
        Ine->Cancel();
        return;
    }
    // An error status announces the length of its error page, not of the file.
    const qint64 size = announcedFileLength(Ine);
    cpaSize->setCaption(size >= 0 ? megabyteText(size) : QStringLiteral("?"));
    m_mpris->setTrack(txtFN->text());
    m_playerOnAddress = true;
    W->setURL(address);
    Ine->Cancel();
}

void frmDownload::clearSongFields()
{
    m_playerOnAddress = false;
    W->controls().stop(); // the last song is not heard under the new name
    cpaSize->setCaption(QString());
    Caption5->setCaption(QString());
    cpaTime->setCaption(QString());
    showPlayerStatus(QStringLiteral("준비"));
    m_positionTimer->stop();
    m_speed.reset();
    capDown->setCaption(QStringLiteral("0"));
    capDown->setToolTip(QString());
    Pro->setToolTip(QString());
    resetProgress();
}

void frmDownload::cancelQuietly()
{
    if (!m_transfer->running())
        return;
    m_cancelQuietly = true;
    m_transfer->cancel();
}

void frmDownload::setRunning(bool running)
{
    CandyButton1->setCaption(running ? QStringLiteral("다운로드 취소") : QStringLiteral("다운로드"));
    txtPath->setEnabled(!running);
    txtFN->setEnabled(!running);
    CandyButton3->setEnabled(!running);
}

void frmDownload::CandyButton1_Click()
{
    if (m_transfer->running()) {
        m_transfer->cancel(); // seen after the chunk in progress
        return;
    }
    const QString folder = txtPath->text().trimmed();
    if (folder.isEmpty()) {
        message(this, QStringLiteral("경로"), QStringLiteral("저장할 폴더를 먼저 정하세요."), MessageIcon::Warning);
        return;
    }
    // The default folder may not exist yet on a new account: it is made on
    // first use. A folder the user chose that has gone stays an error.
    if (!QFileInfo(folder).isDir() && folder == defaultDownloadPath() && !QDir().mkpath(folder)) {
        failureMessage(QStringLiteral("폴더를 만들 수 없습니다: ") + folder);
        return;
    }
    if (!QFileInfo(folder).isDir()) {
        // A refused folder is not the one the next start offers: the setting
        // goes back to the last folder the box named that existed (or the
        // default one).
        storeDownloadPath(m_lastExistingFolder.isEmpty() ? defaultDownloadPath() : m_lastExistingFolder);
        message(this, QStringLiteral("경로"), QStringLiteral("저장할 폴더가 없습니다.\r\n") + folder, MessageIcon::Warning);
        return;
    }
    m_lastExistingFolder = txtPath->text();
    const QString path = joinPath(folder, safeFileName(txtFN->text()));
    // Any entry of that name counts, a link too (even one to nowhere): the
    // download replaces the entry itself, never what a link points at.
    if (entryExists(path)) {
        const MessageResult answer = platform::Dialogs::messageBox(
            QStringLiteral("확인"), QStringLiteral("같은 이름의 파일이 이미 있습니다.\r\n") + path + QStringLiteral("\r\n새 파일로 바꿀까요?"),
            MessageIcon::Question, MessageButtons::YesNo, MessageResult::No, this);
        if (answer != MessageResult::Yes)
            return;
    }

    setRunning(true);
    // The first tick measures from the start: the figure shows at once.
    m_speed.reset();
    m_speed.sample(m_tickClock.elapsed(), 0);
    m_speedShown = false;
    m_announcedSize = -1;
    const FileTransfer::Result result = m_transfer->run(DownURL, path);
    setRunning(false);
    m_speed.reset(); // ended: nothing comes any more
    capDown->setCaption(QStringLiteral("0"));
    capDown->setToolTip(QString());
    Pro->setToolTip(QString());
    if (m_cancelQuietly && result.outcome == FileTransfer::Outcome::Cancelled) {
        m_cancelQuietly = false;
        resetProgress();
        emit downloadFinished(false);
        return;
    }
    m_cancelQuietly = false;
    switch (result.outcome) {
    case FileTransfer::Outcome::Stored:
        Pro->setMax(1);
        Pro->setValue(1);
        finishDownload(true, path);
        break;
    case FileTransfer::Outcome::Cancelled:
        resetProgress();
        message(this, QStringLiteral("취소"), QStringLiteral("취소되었습니다."), MessageIcon::Information);
        emit downloadFinished(false);
        break;
    case FileTransfer::Outcome::Failed:
        finishDownload(false, path, result.reason);
        break;
    }
}

void frmDownload::resetProgress()
{
    Pro->setMax(1);
    Pro->setValue(0);
}

void frmDownload::failureMessage(const QString &reason)
{
    message(this, QStringLiteral("실패"),
            reason.isEmpty() ? QStringLiteral("다운로드 실패.") : QStringLiteral("다운로드 실패.\r\n") + reason,
            MessageIcon::Warning);
}

void frmDownload::finishDownload(bool success, const QString &path, const QString &reason)
{
    if (success) {
        const MessageResult answer = platform::Dialogs::messageBox(
            {QStringLiteral("성공"), QStringLiteral("다운로드 완료\r\n파일 경로 : ") + path, MessageIcon::Information,
             MessageButtons::Ok, MessageResult::Ok, QStringLiteral("폴더 열기")},
            this);
        if (answer == MessageResult::Extra) {
            const QString folder = QFileInfo(path).absolutePath();
            if (!platform::Desktop::openUrl(QUrl::fromLocalFile(folder)))
                message(this, QStringLiteral("폴더 열기"),
                        QStringLiteral("폴더를 열 파일 관리자가 없습니다.\r\n") + QDir::toNativeSeparators(folder),
                        MessageIcon::Warning);
        }
    } else {
        // Nothing was stored: the bar does not claim otherwise.
        resetProgress();
        failureMessage(reason);
    }
    emit downloadFinished(success);
}

void frmDownload::CandyButton2_Click()
{
    // Cancelling the browser keeps the folder the user had.
    const QString chosen = ReciveFolder(this, txtPath->text());
    if (!chosen.isEmpty())
        txtPath->setText(QDir::toNativeSeparators(chosen));
}

void frmDownload::Image4_Click()
{
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(DownURL);
}

void frmDownload::Timer1_Timer()
{
    // Kilobytes per second over about the last second, counted on the bytes
    // as they come, not as whole chunks are stored: a slow body shows its pace.
    const qint64 arrived = m_transfer->bytesArrived();
    const double kbPerSecond = m_speed.sample(m_tickClock.elapsed(), double(arrived));
    capDown->setCaption(SpeedText(kbPerSecond));
    if (!m_transfer->running())
        return;
    m_speedShown = kbPerSecond > 0;
    const QString tip = TransferToolTip(arrived, m_announcedSize, kbPerSecond * 1024);
    capDown->setToolTip(tip);
    Pro->setToolTip(tip);
}

void frmDownload::W_StatusChange()
{
    if (!m_playerOnAddress)
        return;
    // A volume just set stays in view for its moment; the status follows.
    if (!m_volumeNote->isActive())
        showPlayerStatus(W->status());
    updateTimeLabel();
    // Started once, not again on every change, or frequent changes would hold it off.
    if (W->state() == PlayerState::Playing || W->state() == PlayerState::Buffering) {
        if (!m_positionTimer->isActive())
            m_positionTimer->start();
    } else
        m_positionTimer->stop();
    // The rating may be unknown yet; it is shown only when it is, and never
    // for what the player could not play as music.
    const double bitRate = W->state() == PlayerState::Error ? 0 : W->network().bitRate();
    if (!(bitRate > 0)) {
        Caption5->setCaption(QString());
    } else if (const auto rating = rateBitRate(bitRate)) {
        Caption5->setCaption(rating->caption);
        const QColor c = rating->color;
        Caption5->setCaptionINColor(controls::rgbRef(c.red(), c.green(), c.blue()));
        // Dark blue and white ratings both stay readable on the slate body.
        const QColor o = rating->outline;
        Caption5->setCaptionOUTColor(controls::rgbRef(o.red(), o.green(), o.blue()));
    }
}

void frmDownload::keyPressEvent(QKeyEvent *event)
{
    if (playerKey(event, focusWidget()))
        return;
    // Escape closes the window as its close button does, which is disabled
    // while a download runs.
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
        if (CandyButton3->isEnabled())
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmDownload::closeEvent(QCloseEvent *event)
{
    if (IsDownloading()) {
        QApplication::beep();
        event->ignore();
        return;
    }
    ++m_readyGeneration; // a size request still waiting starts no playback
    m_playerOnAddress = false; // the labels keep what they showed of the song
    W->controls().stop(); // playback ends with the window
    m_mpris->withdraw();  // and the desktop's controls with it
    emit windowClosed();
    event->accept();
}

} // namespace download

#pragma once
// The download window: proposes a file name for a music address, refuses
// addresses that are not music, asks the server for the size, plays the
// address, and on request downloads it in 2 KB chunks with progress, speed and
// a size check. One window, shown again for every new address.
#include "controls/skin.h"
#include "download/filetransfer.h"
#include "download/focusmark.h"
#include "download/speedmeter.h"
#include "platform/mediaplayer/mediaplayer.h"
#include "platform/transfer/transfercontrol.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

class QDBusConnection;

namespace platform {
class MprisService;
}

namespace download {

class frmDownload : public QWidget {
    Q_OBJECT
public:
    explicit frmDownload(QWidget *parent = nullptr);
    ~frmDownload() override;

    // Prepares the window for an address (a trailing double quote is dropped,
    // also in the caller's variable).
    void ReadyDown(QString &address);
    void ReadyDown(const QString &address)
    {
        QString copy = address;
        ReadyDown(copy);
    }

    // Command handlers, also called by tests.
    void CandyButton1_Click(); // start, or cancel while running
    void CandyButton2_Click(); // folder browser
    void Image4_Click();       // copy the address
    void Timer1_Timer();
    void W_StatusChange();

    // Controls, named as the window's definition names them.
    QLineEdit *txtFN = nullptr;
    QLineEdit *txtPath = nullptr;
    controls::SkinLabel *cpaSize = nullptr;
    controls::SkinLabel *Caption5 = nullptr;
    controls::SkinLabel *capDown = nullptr;
    controls::SkinLabel *cpaTime = nullptr;
    controls::SkinLabel *capSt = nullptr;
    controls::SkinProgressBar *Pro = nullptr;
    controls::SkinButton *CandyButton1 = nullptr;
    controls::SkinButton *CandyButton2 = nullptr;
    controls::SkinButton *CandyButton3 = nullptr;
    QWidget *Image3 = nullptr, *Image4 = nullptr, *Image5 = nullptr, *Image6 = nullptr, *Image7 = nullptr;
    controls::SkinImage *aicAlphaImage1 = nullptr;                           // the window's icon, in grey
    controls::SkinImage *aicAlphaImage2 = nullptr, *aicAlphaImage3 = nullptr; // seek 10 s forward, back
    platform::TransferControl *Ine = nullptr;
    platform::MediaPlayer *W = nullptr;
    QTimer *Timer1 = nullptr;

    QString DownURL;
    // True while a download runs (its loop pumps events meanwhile).
    bool IsDownloading() const { return m_transfer->running(); }
    // Ends the running download as a cancel does, without telling it: the
    // program is about to end. downloadFinished(false) follows at once.
    void cancelQuietly();

    // The desktop's media controls, offered while the window is open: on the
    // session bus, or on the bus given here (a test's own).
    platform::MprisService *mediaControls() const { return m_mpris; }
    void setMediaControlBus(const QDBusConnection &bus);
    // The player's dock: the wheel over it sets the volume.
    QWidget *playerDock() const { return m_dock; }
    // The mark around the player button that has the keyboard focus.
    FocusMark *focusMark() const { return m_focusMark; }

signals:
    void downloadFinished(bool success);
    void windowClosed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void setUpPlayerKeys(); // and the wheel over the dock
    void seekBy(double seconds);
    QWidget *addHotSpot(const QRect &geometry);
    bool isPlayerButton(QObject *object) const;
    void pressPlayerButton(QObject *button);
    bool playerKey(QKeyEvent *event, QObject *from);
    void togglePlay();
    void changeVolume(int steps);
    void turnVolume(QWheelEvent *event);
    void showPlayerStatus(const QString &text);
    void showVolume();
    void updateTimeLabel();
    void quitFromDesktop();
    QWidget *m_dock = nullptr;
    FocusMark *m_focusMark = nullptr;
    QTimer *m_positionTimer = nullptr; // reads the position while playing
    QTimer *m_volumeNote = nullptr;    // while it runs the status line shows the volume
    int m_wheelEighths = 0;            // wheel turn not yet worth a step
    platform::MprisService *m_mpris = nullptr;
    controls::WindowDefinition m_definition;
    void setRunning(bool running);
    void finishDownload(bool success, const QString &path, const QString &reason = {});
    void failureMessage(const QString &reason);
    void resetProgress();
    void clearSongFields();
    void showTransferRate();
    SpeedMeter m_speed;
    qint64 m_announcedSize = -1; // of the running download; -1 unknown
    bool m_cancelQuietly = false;
    // False from a new address until the player is given it: what the player
    // still reports of the song before belongs to no song on screen.
    bool m_playerOnAddress = false;
    FileTransfer *m_transfer = nullptr;
    bool m_barFollowsTransfer = false;
    QString m_downloadTarget;
    // The last text of the folder box that named an existing folder: what the
    // setting goes back to when a download is refused for a missing folder.
    QString m_lastExistingFolder;
    // Whether the running transfer's speed figure has shown more than 0.
    bool m_speedShown = false;
    QElapsedTimer m_tickClock; // monotonic: a clock change does not skew the speed
    // Counts addresses given and window closings: a ReadyDown whose wait for
    // the size was overtaken by either leaves the window to the newer state.
    quint64 m_readyGeneration = 0;
};

} // namespace download

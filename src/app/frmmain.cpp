#include "app/frmmain.h"

#include "platform/twips.h"
using platform::px;
using platform::twipRect;
#include "platform/doevents.h"
#include "platform/wait.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>

namespace app {

using controls::SkinButton;
using controls::SkinLabel;

namespace {
QString listStyle(const QString &picture)
{
    return QStringLiteral(
               "QTreeWidget { border: 1px solid #3a3a3a; color: #f0f0f0; font-family: Gulim; font-size: 9pt;"
               " background-color: #1b1b1f; background-image: url(%1); background-attachment: fixed;"
               " background-repeat: no-repeat; selection-background-color: #5a5a64; }"
               // The keyboard's place must show on the dark list: a yellow
               // frame around the list that has the focus and around its
               // current row.
               "QTreeWidget:focus { border: 1px solid #ffd200; }"
               "QTreeWidget::item { height: 17px; }"
               "QTreeWidget::item:focus { border: 1px solid #ffd200; }"
               "QHeaderView::section { color: #e8e8e8; font-family: Gulim; font-size: 9pt; padding: 1px 4px;"
               " border: 0; border-right: 1px solid #505050; border-bottom: 1px solid #505050;"
               " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4a4a4a, stop:0.5 #2a2a2a, stop:1 #111111); }")
        .arg(picture);
}
} // namespace

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    controls::setUpWindow(this, QStringLiteral("frmMain"), QStringLiteral("Sorimba 2"));
    controls::useFixedSingleBorder(this, QSize(px(10455), px(5805)));
    controls::useWhiteBackground(this);
    m_definition = controls::loadWindowDefinition(QStringLiteral(":/forms/frmMain.def"));
    buildControls();
}

frmMain::~frmMain() = default;

SkinLabel *frmMain::addLabel(QWidget *parent, const QString &name, const QRect &geometry)
{
    return controls::makeLabel(parent, m_definition, name, geometry);
}

SkinButton *frmMain::addButton(QWidget *parent, const QString &name, const QRect &geometry)
{
    return controls::makeButton(parent, m_definition, name, geometry);
}

void frmMain::buildControls()
{
    controls::makePicture(this, QStringLiteral(":/pictures/main_header.jpg"), twipRect(120, 120, 10305, 1395));
    aicAlphaImage1 = controls::makeImage(this, m_definition, QStringLiteral("aicAlphaImage1"), twipRect(360, 360, 720, 720));
    addLabel(this, QStringLiteral("lblTitle"), twipRect(1320, 360, 2415, 255));
    capVersion = addLabel(this, QStringLiteral("capVersion"), twipRect(2760, 360, 1215, 255));
    addLabel(this, QStringLiteral("lblKeyword"), twipRect(1320, 720, 1815, 375));
    txtKeyword = new QLineEdit(this);
    txtKeyword->setGeometry(twipRect(2280, 720, 6255, 375));
    txtKeyword->setFont(QFont(QStringLiteral("Gulim"), 9));
    cmdSearch = addButton(this, QStringLiteral("cmdSearch"), twipRect(8640, 720, 1455, 375));
    controls::makePicture(this, QStringLiteral(":/pictures/main_band.jpg"), twipRect(146, 1400, 10155, 555));

    lstResult = new QTreeWidget(this);
    lstResult->setGeometry(twipRect(240, 1560, 5415, 2295));
    lstResult->setHeaderLabels({kResultHeading});
    lstResult->setRootIsDecorated(false);
    lstResult->setStyleSheet(listStyle(QStringLiteral(":/pictures/main_list_result.jpg")));

    addLabel(this, QStringLiteral("lblChart"), twipRect(5760, 1560, 4575, 255));
    lstTop = new QTreeWidget(this);
    lstTop->setGeometry(twipRect(5760, 1920, 4575, 2295));
    lstTop->setHeaderLabels({QStringLiteral("타이틀"), QStringLiteral("아티스트")});
    lstTop->setRootIsDecorated(false);
    lstTop->setColumnWidth(0, px(5010));
    lstTop->setColumnWidth(1, px(2716));
    lstTop->setStyleSheet(listStyle(QStringLiteral(":/pictures/main_list_top.jpg")));

    cmdPrev = addButton(this, QStringLiteral("cmdPrev"), twipRect(2280, 3960, 1215, 495));
    for (int d = 0; d < 10; ++d) {
        QPixmap digit(QStringLiteral(":/pictures/digit%1.jpg").arg(d));
        // The image list's mask colour is silver.
        digit.setMask(digit.createMaskFromColor(QColor(192, 192, 192)));
        imglst1.append(digit);
    }
    imgA = new QLabel(this);
    imgA->setGeometry(twipRect(3600, 3960, 390, 780));
    imgB = new QLabel(this);
    imgB->setGeometry(twipRect(3960, 3960, 390, 780));
    cmdNext = addButton(this, QStringLiteral("cmdNext"), twipRect(4440, 3960, 1215, 495));
    capTime = addLabel(this, QStringLiteral("capTime"), twipRect(5760, 4320, 4575, 255));
    // The lower decorations overlap the page buttons and digits by a few
    // pixels; they lie under them, so no button or digit is cut.
    const QRect decorations[] = {twipRect(2240, 4440, 1305, 300), twipRect(4400, 4440, 1305, 300),
                                 twipRect(720, 4680, 8580, 1200), twipRect(690, 5280, 8775, 435)};
    for (int i = 3; i >= 0; --i)
        controls::makePicture(this, QStringLiteral(":/pictures/main_deco%1.jpg").arg(i + 1), decorations[i])->lower();

    W = new platform::PageHost(this);
    Ine = new platform::TransferControl(this);
    m_pageLoad = new sources::PageSongsLoad(this);
    connect(m_pageLoad, &sources::PageSongsLoad::finished, this, &frmMain::pageLoadFinished);
    // A web address dropped anywhere on the window opens its page; the
    // keyword box leaves drops to the window instead of taking them as text.
    setAcceptDrops(true);
    txtKeyword->setAcceptDrops(false);

    buildErrorPanel();
    buildWorkPanel();

    // Tab follows the screen: the keyword row, the results with their page
    // buttons, then the chart.
    setTabOrder(txtKeyword, cmdSearch);
    setTabOrder(cmdSearch, lstResult);
    setTabOrder(lstResult, cmdPrev);
    setTabOrder(cmdPrev, cmdNext);
    setTabOrder(cmdNext, lstTop);

    connect(CandyButton1, &SkinButton::Click, picError, &QWidget::hide);
    lstTop->installEventFilter(this);
    lstResult->installEventFilter(this);
    connectCommands();
}

void frmMain::buildErrorPanel()
{
    picError = controls::makePicture(this, QStringLiteral(":/pictures/panel_error.jpg"), twipRect(2520, 1320, 5535, 2895));
    picError->setObjectName(QStringLiteral("picError"));
    controls::makeImage(picError, m_definition, QStringLiteral("aicAlphaImage2"), twipRect(480, 360, 720, 720));
    addLabel(picError, QStringLiteral("lblErrorTitle"), twipRect(1320, 360, 3855, 735));
    addLabel(picError, QStringLiteral("lblError1"), twipRect(600, 1200, 4695, 375));
    addLabel(picError, QStringLiteral("lblError2"), twipRect(600, 1560, 4575, 255));
    addLabel(picError, QStringLiteral("lblError3"), twipRect(600, 1800, 3855, 375));
    CandyButton1 = addButton(picError, QStringLiteral("CandyButton1"), twipRect(3720, 2160, 1575, 495));
    picError->hide();
}

void frmMain::buildWorkPanel()
{
    picWork = controls::makePicture(this, QStringLiteral(":/pictures/panel_work.jpg"), twipRect(10000, 2040, 8295, 1455));
    picWork->setObjectName(QStringLiteral("picWork"));
    controls::makeImage(picWork, m_definition, QStringLiteral("aicAlphaImage3"), twipRect(360, 360, 720, 720));
    addLabel(picWork, QStringLiteral("lblWorkTitle"), twipRect(1440, 120, 3975, 495));
    addLabel(picWork, QStringLiteral("lblWork1"), twipRect(1440, 720, 4215, 255));
    addLabel(picWork, QStringLiteral("lblWork2"), twipRect(1440, 960, 3975, 255));
    picWork->hide();
}

QString frmMain::VersionText(int major, int minor, int revision)
{
    return QStringLiteral("v %1.%2.0.%3").arg(major).arg(minor).arg(revision);
}

QString frmMain::VersionText() const
{
    return VersionText(SORIMBA_VERSION_MAJOR, SORIMBA_VERSION_MINOR, SORIMBA_VERSION_REVISION);
}

void frmMain::Load()
{
    capVersion->setCaption(VersionText());
    show();
    platform::DoEvents();
    refreshTop();
    lstResult->setColumnWidth(0, lstResult->viewport()->width());
    picError->move(px(2520), px(1320));
}

void frmMain::WaitTime(double ms, bool pump)
{
    platform::WaitTime(ms, pump);
}

void frmMain::WaitBusy()
{
    WaitTime(500, true);
    while (W->Busy() && !m_closed) {
        platform::DoEvents();
        platform::WaitTime(1, false); // let the network deliver without spinning a core
    }
}

void frmMain::setWorkLeft(int twips)
{
    m_workLeftTwips = twips;
    picWork->move(px(twips), px(2040));
    emit workPanelMoved(twips);
}

void frmMain::WorkShow()
{
    picWork->show();
    picWork->raise();
    for (int left = 10000; left > 4000; left -= 500) {
        setWorkLeft(left);
        WaitTime(10, true);
    }
}

void frmMain::WorkHide()
{
    for (int left = 4200; left < 10200; left += 500) {
        setWorkLeft(left);
        WaitTime(10, true);
    }
    picWork->hide();
}

void frmMain::ShowError()
{
    picError->show();
    picError->raise();
}

bool frmMain::refuseWhileLoading()
{
    if (!m_pageLoadRunning)
        return false;
    QApplication::beep();
    return true;
}

bool frmMain::beginPageLoad()
{
    if (refuseWhileLoading())
        return false;
    m_pageLoadRunning = true;
    return true;
}

void frmMain::endPageLoad()
{
    m_pageLoadRunning = false;
}

void frmMain::keyPressEvent(QKeyEvent *event)
{
    // Keys no control took reach the window: F5 loads the chart again and
    // Escape closes the error panel.
    if (event->isAutoRepeat()) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_F5) {
        refreshTop();
        return;
    }
    if (event->key() == Qt::Key_Escape && picError->isVisible()) {
        picError->hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmMain::showEvent(QShowEvent *event)
{
    m_closed = false;
    QWidget::showEvent(event);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    // Return on a selected row does what a double-click does: a chart row is
    // searched, a result row opened. The press acts; its release does nothing.
    if (event->type() == QEvent::KeyPress && (watched == lstTop || watched == lstResult)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
            if (watched == lstTop)
                lstTop_DblClick();
            else
                lstResult_DblClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // A running download is ended only when the user agrees; the program
    // ends once its transfer has let go (at once: the cancel does not wait
    // for the server), so that no partial file stays behind.
    auto *download = static_cast<download::frmDownload *>(m_download);
    if (download && download->IsDownloading()) {
        event->ignore();
        if (m_quitAfterDownload)
            return;
        const platform::MessageResult answer = platform::Dialogs::messageBox(
            QStringLiteral("끝내기"), QStringLiteral("다운로드를 취소하고 끝낼까요?"), platform::MessageIcon::Question,
            platform::MessageButtons::YesNo, platform::MessageResult::No, this);
        if (answer != platform::MessageResult::Yes)
            return;
        if (!download->IsDownloading()) { // it ended while the question was open
            QTimer::singleShot(0, this, &QWidget::close);
            return;
        }
        m_quitAfterDownload = true;
        connect(download, &download::frmDownload::downloadFinished, this, [this] { close(); },
                Qt::SingleShotConnection);
        download->cancelQuietly();
        return;
    }
    // Closing the main window ends the whole program: a load still waiting
    // is let go, so that it shows no window or message after this one.
    event->accept();
    m_closed = true;
    Ine->Cancel();
    if (m_pageLoad->running()) {
        m_pageLoad->stop();
        picWork->hide();
        endPageLoad();
    }
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this)
            w->close();
    QCoreApplication::exit(0);
}

} // namespace app

#pragma once
// The main window: keyword box and search button, the blog result list with its
// page buttons and page digits, the real-time chart, the hidden page host and
// transfer control, and the shared routines every loading routine uses (timed
// wait, page wait, busy panel, error panel). Closing it ends the program.
#include "controls/skin.h"
#include "platform/transfer/transfercontrol.h"
#include "platform/pagehost/pagehost.h"
#include "sources/pagesongsload.h"
#include "sources/search.h"

#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPixmap>
#include <QStringList>
#include <QTreeWidget>
#include <QWidget>

namespace app {

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // The load sequence: version label, show, chart, result column, error panel.
    void Load();

    static QString VersionText(int major, int minor, int revision);
    QString VersionText() const;

    void WaitTime(double ms, bool pump);
    void WaitBusy();
    void WorkShow();
    void WorkHide();
    void ShowError();
    int workLeftTwips() const { return m_workLeftTwips; }

    void refreshTop();
    bool printSPage(qint16 page);
    // The grey row a result page without results shows.
    static const QString kNoResultsText;

    // Command handlers, also called by tests.
    void cmdSearch_Click();
    void cmdPrev_Click();
    void cmdNext_Click();
    void lstTop_DblClick();
    void lstResult_DblClick();

    // Opens a web page typed, dropped or given at start: its one song plays
    // in the download window, several fill the result list (under the page's
    // title), none show the error panel. Ends with pageFinished().
    void openPage(const QString &address);
    // Whether the result list shows the songs of a page rather than a search.
    bool resultRowsAreSongs() const { return m_resultRowsAreSongs; }
    // The result list's heading while it shows search results.
    static const QString kResultHeading;

    // Controls, named as the window's definition names them.
    controls::SkinImage *aicAlphaImage1 = nullptr; // the logo
    controls::SkinLabel *capVersion = nullptr;
    controls::SkinLabel *capTime = nullptr;
    QLineEdit *txtKeyword = nullptr;
    controls::SkinButton *cmdSearch = nullptr;
    controls::SkinButton *cmdPrev = nullptr;
    controls::SkinButton *cmdNext = nullptr;
    QTreeWidget *lstResult = nullptr;
    QTreeWidget *lstTop = nullptr;
    QLabel *imgA = nullptr;
    QLabel *imgB = nullptr;
    QList<QPixmap> imglst1; // the digits 0 to 9
    QLabel *picError = nullptr;
    controls::SkinButton *CandyButton1 = nullptr; // the error panel's close button
    QLabel *picWork = nullptr;
    platform::PageHost *W = nullptr;
    platform::TransferControl *Ine = nullptr;

    // The one download window, made when a post first yields an address.
    QWidget *downloadWindow() const { return m_download; }

    // Search state shared with the post reader.
    qint16 SearchPage = 0;
    qint16 ResultCount = 0;
    QStringList ResultURLs;

    // Bounds on repeated loads of a page that never looks complete.
    static constexpr int kChartAttempts = 5;
    static constexpr int kSearchAttempts = 3;
    // Bound on the whole chart load, every attempt included.
    static constexpr int kChartBudgetMs = 30000;
    void setChartBudgetMs(int ms) { m_chartBudgetMs = ms; }

signals:
    void workPanelMoved(int leftTwips);
    void chartFinished();
    void searchFinished();
    void postFinished(bool found);
    void pageFinished(bool found);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildControls();
    void buildErrorPanel();
    void buildWorkPanel();
    void connectCommands();
    void showPageDigits(qint16 page);
    void showResultRows(const QList<sources::SearchRow> &rows);
    controls::SkinLabel *addLabel(QWidget *parent, const QString &name, const QRect &geometry);
    controls::SkinButton *addButton(QWidget *parent, const QString &name, const QRect &geometry);
    controls::WindowDefinition m_definition;
    void setWorkLeft(int twips);
    // A page load in progress refuses another one.
    bool refuseWhileLoading(); // beeps and answers true while a page load runs
    bool beginPageLoad();
    void endPageLoad();

    void openDownloadWindow(const QString &address);
    void pageLoadFinished(const sources::PageSongsResult &result);
    void showPageSongs(const sources::PageSongsResult &result);
    void openSongRow(int row);
    sources::PageSongsLoad *m_pageLoad = nullptr;
    bool m_resultRowsAreSongs = false;
    QWidget *m_download = nullptr;
    int m_workLeftTwips = 10000;
    int m_chartBudgetMs = kChartBudgetMs;
    bool m_pageLoadRunning = false;
    // Set when the window is closed: a load waiting then ends without
    // showing anything more, as the program is ending.
    bool m_closed = false;
    bool m_quitAfterDownload = false; // asked once; the download is ending
    bool m_chartFailureShown = false; // the date line tells why the chart failed
};

} // namespace app

// Download throughput of the window's 2 KB chunk loop against curl on the same
// 200 MB file. Disabled by default (it moves 400 MB); run it with
//   test_download --gtest_also_run_disabled_tests --gtest_filter='*Throughput*'
#include "app/application.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "support/sim_fixture.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace testsupport;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class WindowThroughput : public SimFixture {};

TEST_F(WindowThroughput, DISABLED_Download200MBAgainstCurl)
{
    app::initApplication();
    QTemporaryDir folder;
    const QString url = portal.baseUrl() + "/files/big200m.mp3";
    const qint64 size = 200LL * 1024 * 1024;

    platform::ScopedDialogAnswers answers;
    download::frmDownload w;
    w.txtPath->setText(folder.path());
    w.ReadyDown(url);
    // The generated file is no real MP3: the player would scan all of it for
    // frames in parallel. Measure the download loop alone.
    w.W->controls().stop();
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuSeconds();
    w.CandyButton1_Click();
    const double windowSeconds = clock.elapsed() / 1000.0;
    const double windowCpu = cpuSeconds() - cpu0; // includes the simulator's thread
    ASSERT_EQ(answers.messages().last().title, QStringLiteral("성공"));
    ASSERT_EQ(QFileInfo(folder.filePath("big200m.mp3")).size(), size);

    QProcess curl;
    clock.restart();
    curl.start("curl", {"-s", "-o", folder.filePath("curl.bin"), url});
    ASSERT_TRUE(curl.waitForFinished(120000));
    const double curlSeconds = clock.elapsed() / 1000.0;
    ASSERT_EQ(QFileInfo(folder.filePath("curl.bin")).size(), size);

    const double windowRate = size / 1048576.0 / windowSeconds;
    const double curlRate = size / 1048576.0 / curlSeconds;
    std::printf("window: %.1f MB/s (%.2f s, %.2f s CPU with the simulator)\ncurl:   %.1f MB/s (%.2f s)\nratio:  %.2f\n",
                windowRate, windowSeconds, windowCpu, curlRate, curlSeconds, windowRate / curlRate);
}

} // namespace

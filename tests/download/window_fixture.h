#pragma once
// A shown download window against the simulator, saving into a temporary
// folder, with every message box answered and recorded.
#include "app/application.h"
#include "download/frmdownload.h"
#include "platform/dialogs.h"
#include "support/sim_fixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>

namespace testsupport {

class DownloadWindowFixture : public SimFixture {
protected:
    void SetUp() override
    {
        app::initApplication();
        SimFixture::SetUp();
        w = std::make_unique<download::frmDownload>();
        w->txtPath->setText(folder.path());
        w->show();
    }
    // The simulator's address of path, in the given misbehaving variants.
    QString url(const QString &path, const QString &variants = {}) const
    {
        return portal.baseUrl() + (variants.isEmpty() ? QString() : "/_v/" + variants) + path;
    }
    // Every entry of the folder: a hidden temporary file or a link counts too.
    QStringList folderEntries() const
    {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder;
    platform::ScopedDialogAnswers answers;
    std::unique_ptr<download::frmDownload> w;
};

} // namespace testsupport

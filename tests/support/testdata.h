#pragma once
// Locating the public test suites kept beside the project.
#include <QDir>
#include <QString>
#include <gtest/gtest.h>

namespace testsupport {

inline QString testdataDir(const QString &sub = {})
{
    const QString root = QString::fromUtf8(SORIMBA_TESTDATA_DIR);
    return sub.isEmpty() ? root : root + '/' + sub;
}

// Skips the calling test with a message when a suite folder is missing.
#define SORIMBA_REQUIRE_TESTDATA(sub)                                                     \
    do {                                                                                  \
        if (!QDir(testsupport::testdataDir(sub)).exists())                                \
            GTEST_SKIP() << "test data not found: " << testsupport::testdataDir(sub).toStdString(); \
    } while (0)

} // namespace testsupport

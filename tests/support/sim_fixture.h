#pragma once
// A portal simulator running in-process on a free loopback port, with the
// program's host variables pointed at it for the test's lifetime.
#include "portal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>
#include <functional>

namespace testsupport {

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        addRoutes(portal.server());
        ASSERT_TRUE(portal.start()) << "portal simulator could not listen";
        pointHostsAt(portal.baseUrl());
        qputenv("SORIMBA_ATTACH_HOST", portal.attachBaseUrl().toUtf8());
    }
    void TearDown() override { portal.stop(); }

    // The simulator with the variants, or without any an address where
    // nothing listens (a refused connection).
    void pointHostsAtVariantsOrNowhere(const char *variants)
    {
        if (*variants)
            pointHostsAt(portal.baseUrl(), variants);
        else
            pointHostsAt(QStringLiteral("http://127.0.0.1:1"));
    }

    // Extra routes a test needs, added before the server starts.
    virtual void addRoutes(portalsim::HttpServer &) {}

    // Points the chart, search and blog hosts at base, optionally with a variant
    // prefix; the attachment host stays on the simulator's second address.
    static void pointHostsAt(const QString &base, const QString &variants = {})
    {
        const QString host = variants.isEmpty() ? base : base + "/_v/" + variants;
        for (const char *name : {"SORIMBA_CHART_HOST", "SORIMBA_SEARCH_HOST", "SORIMBA_BLOG_HOST"})
            qputenv(name, host.toUtf8());
    }

    portalsim::Portal portal;
};

// Pumps events until cond holds or the time runs out; returns cond's last value.
inline bool waitUntil(const std::function<bool()> &cond, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace testsupport

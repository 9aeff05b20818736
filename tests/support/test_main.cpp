// Test entry point shared by every test program: an offscreen Qt application,
// a private settings folder and null audio, so that tests never touch the
// user's configuration or sound device.
#include <QApplication>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("SORIMBA_AO"))
        setenv("SORIMBA_AO", "null", 1);
    QTemporaryDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    // mpv needs the C numeric locale once Qt has set the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}

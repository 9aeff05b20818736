// The desktop install: cmake --install of this build into a temporary prefix
// holds the program, a valid desktop entry and the icon at every size.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef SORIMBA_CMAKE_COMMAND
namespace {

QMap<QString, QString> readEntry(const QString &path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            keys.insert(line.left(eq), line.mid(eq + 1));
    }
    return keys;
}

TEST(DesktopInstall, ProgramEntryAndIconsAtEverySize)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QProcess install;
    install.start(QStringLiteral(SORIMBA_CMAKE_COMMAND),
                  {"--install", QStringLiteral(SORIMBA_BINARY_DIR), "--prefix", prefix.path()});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    const QDir root(prefix.path());
    const QFileInfo program(root.filePath("bin/sorimba"));
    EXPECT_TRUE(program.isFile() && program.isExecutable());
    const QFileInfo tool(root.filePath("bin/sorimba-image"));
    EXPECT_TRUE(tool.isFile() && tool.isExecutable()) << "the image tool is installed beside the program";

    const QString entryPath = root.filePath("share/applications/sorimba2.desktop");
    const QMap<QString, QString> entry = readEntry(entryPath);
    EXPECT_EQ(entry.value("Name"), "Sorimba 2");
    EXPECT_EQ(entry.value("Exec"), program.fileName() + " %U"); // an address handed over opens its page
    EXPECT_EQ(entry.value("Icon"), "sorimba2");
    EXPECT_EQ(entry.value("Categories"), "AudioVideo;Audio;Player;");
    // Found by a search in the menu, in Korean or English.
    const QStringList keywords = entry.value("Keywords").split(';', Qt::SkipEmptyParts);
    EXPECT_TRUE(keywords.contains("music") && keywords.contains(QStringLiteral("음악"))) << keywords.join(';').toStdString();
    const QString comment = entry.value("Comment");
    EXPECT_TRUE(std::any_of(comment.begin(), comment.end(), [](QChar c) { return c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3; }))
        << "the comment is Korean";

    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = root.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/sorimba2.png").arg(size));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_TRUE(file.read(8).startsWith("\x89PNG")) << size;
        const QImage icon(path);
        ASSERT_FALSE(icon.isNull()) << size;
        EXPECT_EQ(icon.size(), QSize(size, size));
        // The round icon: clear corners, an opaque middle.
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
    }

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils): entry not validated";
    QProcess validate;
    validate.start(validator, {entryPath});
    ASSERT_TRUE(validate.waitForFinished(30000));
    const QString report = QString::fromUtf8(validate.readAllStandardOutput() + validate.readAllStandardError());
    EXPECT_EQ(validate.exitCode(), 0) << report.toStdString();
    EXPECT_TRUE(report.trimmed().isEmpty()) << "no error, warning or hint: " << report.toStdString();
}

} // namespace
#endif

// Finding the songs of any web page: pages of every kind read from the
// simulator, the page's text encoding, and what ends a load as a failure.
#include "sources/endpoints.h"
#include "sources/pagesongs.h"
#include "sources/pagesongsload.h"
#include "support/sim_fixture.h"

#include <QElapsedTimer>
#include <QStringEncoder>

using namespace testsupport;

namespace {

class PageSongsTest : public SimFixture {
protected:
    void addRoutes(portalsim::HttpServer &server) override
    {
        // A page larger than any page may be (17 MiB of text).
        server.route("/huge.html", [](const portalsim::Request &) {
            portalsim::Response r;
            r.contentType = "text/html";
            r.streamSize = 17 * 1024 * 1024;
            r.generate = [](qint64, char *dst, qint64 count) { std::memset(dst, 'a', size_t(count)); };
            return r;
        });
    }

    sources::PageSongsResult load(const QString &address, int timeoutMs = 30000)
    {
        sources::PageSongsLoad job;
        job.setTimeoutMs(timeoutMs);
        std::optional<sources::PageSongsResult> result;
        int finishedCount = 0;
        QObject::connect(&job, &sources::PageSongsLoad::finished, [&](const sources::PageSongsResult &r) {
            result = r;
            ++finishedCount;
        });
        job.start(address, sources::AttachHostPrefix());
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, 20000)) << address.toStdString();
        EXPECT_FALSE(job.running());
        QCoreApplication::processEvents();
        EXPECT_EQ(finishedCount, 1);
        return result.value_or(sources::PageSongsResult{});
    }
    QString h(const QString &path) const { return portal.baseUrl() + path; }
    QString a(const QString &path) const { return portal.attachBaseUrl() + path; }
};

TEST_F(PageSongsTest, EveryKindOfPage)
{
    const QString korean = QStringLiteral("오늘의 노래 모음");
    // 음악.wav, written as it is in the page, is asked for in UTF-8 escapes.
    const QStringList koreanSongs = {h("/media/%EC%9D%8C%EC%95%85.wav"), h("/media/tone3s-128k.mp3")};
    struct Case {
        const char *page;
        QString title;
        QStringList songs;
    } cases[] = {
        {"attach", QStringLiteral("첨부 음악"), {a("/files/%B3%EB%B7%A1.mp3"), a("/files/tone3s-128k.mp3")}},
        {"audio", "Audio", {h("/media/tone3s-128k.mp3"), h("/media/tone30s-32k.mp3"), h("/media/tone1s.wav")}},
        {"links",
         "Links",
         {h("/media/tone3s-128k.mp3"), h("/media/song.M4A"), h("/media/song.aac"), h("/media/song.Ogg"),
          h("/media/song.oga"), h("/media/song.opus"), h("/media/song.flac"), h("/media/tone1s.WAV"),
          h("/media/tone30s-32k.mp3?dl=1")}},
        {"og", "Open Graph", {h("/media/tone3s-128k.mp3"), h("/media/tone30s-32k.mp3"), h("/media/tone1s.wav")}},
        {"video", "Video", {}},
        // Rule order, each song once: attachment, audio, links, then og.
        {"all",
         "All",
         {a("/files/%B3%EB%B7%A1.mp3"), h("/media/tone30s-32k.mp3"), h("/media/tone1s.wav"), h("/media/song.flac")}},
        {"relative",
         "Relative",
         {h("/page/song.ogg"), h("/page/tone3s-128k.mp3"), h("/media/tone1s.wav"), h("/media/tone30s-32k.mp3"),
          h("/media/TONE3S.MP3")}},
        {"base",
         "Relative",
         {h("/media/song.ogg"), h("/media/tone3s-128k.mp3"), h("/media/tone1s.wav"), h("/media/tone30s-32k.mp3"),
          h("/media/TONE3S.MP3")}},
        {"entities", "Entities & more", {h("/media/tone30s-32k.mp3?a=1&b=2"), h("/media/tone3s-128k.mp3")}},
        {"cp949", korean, koreanSongs},
        {"cp949meta", korean, koreanSongs},
        {"utf8", korean, koreanSongs},
        {"one", "One", {h("/media/tone3s-128k.mp3")}},
        {"none", "None", {}},
        // An address ending in .mp3 that answers with a page is read as a page.
        {"song.mp3", "Not a file", {h("/media/tone1s.wav")}},
        {"image.png", "", {}}, // neither a page nor music
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.page);
        const sources::PageSongsResult r = load(h("/page/") + c.page);
        EXPECT_FALSE(r.failed()) << r.error.toStdString();
        EXPECT_EQ(r.title, c.title);
        EXPECT_EQ(r.songs, c.songs);
        EXPECT_FALSE(r.addressIsSong);
    }
}

TEST_F(PageSongsTest, AnAddressThatIsMusicIsTheSong)
{
    for (const QString &address : {h("/media/tone3s-128k.mp3"),         // audio/mpeg
                                   h("/page/octet/tone3s-128k.mp3")}) { // a music name and music bytes
        SCOPED_TRACE(address.toStdString());
        const sources::PageSongsResult r = load(address);
        EXPECT_TRUE(r.addressIsSong);
        EXPECT_EQ(r.songs, QStringList{address});
    }
    // A large file is judged by its head, not read.
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(load(h("/media/big2048m.mp3")).addressIsSong);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(PageSongsTest, TenThousandLinksListTheFirst200Quickly)
{
    QElapsedTimer clock;
    clock.start();
    const sources::PageSongsResult r = load(h("/page/many"));
    const qint64 ms = clock.elapsed();
    ASSERT_EQ(r.songs.size(), sources::kMaxPageSongs);
    EXPECT_EQ(r.songs.first(), h("/media/track0.mp3"));
    EXPECT_EQ(r.songs.last(), h("/media/track199.mp3"));
    EXPECT_LT(ms, 5000) << "a page of 10,000 links took " << ms << " ms";
}

TEST_F(PageSongsTest, PagesThatCannotBeReadFailWithTheirCause)
{
    struct Case {
        QString address;
        int timeoutMs;
        QString cause;
    } cases[] = {
        {h("/page/nosuch"), 30000, QStringLiteral("HTTP 404")},
        {h("/_v/fail/page/one"), 30000, QStringLiteral("HTTP 500")},
        {"http://127.0.0.1:1/page/one", 30000, QStringLiteral("연결 거부")},
        {h("/_v/hang/page/one"), 300, QStringLiteral("0.3초 안에 다 받지 못함")},
        {h("/huge.html"), 30000, QStringLiteral("페이지가 너무 큼")},
        {"ftp://127.0.0.1/a.mp3", 30000, QStringLiteral("http 또는 https 주소가 아님")},
        {QStringLiteral("노래 제목"), 30000, QStringLiteral("http 또는 https 주소가 아님")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        const sources::PageSongsResult r = load(c.address, c.timeoutMs);
        EXPECT_TRUE(r.failed());
        EXPECT_TRUE(r.error.contains(c.cause)) << r.error.toStdString();
        EXPECT_TRUE(r.songs.isEmpty());
    }
}

TEST_F(PageSongsTest, AStoppedLoadReportsNothing)
{
    sources::PageSongsLoad job;
    int finished = 0;
    QObject::connect(&job, &sources::PageSongsLoad::finished, [&] { ++finished; });
    job.start(h("/page/one"), {});
    job.stop();
    job.start(QStringLiteral("not an address"), {}); // refused from the event loop
    job.stop();
    job.start(h("/page/audio"), {});
    ASSERT_TRUE(waitUntil([&] { return finished > 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished, 1);
}

TEST(DecodeWebPage, HeaderThenMetaThenUtf8ThenKorean)
{
    const QString hangul = QStringLiteral("노래");
    const QByteArray cp949 = QStringEncoder("windows-949").encode(hangul);
    const QByteArray utf8 = hangul.toUtf8();
    const QByteArray metaKr = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-KR\">";
    const QByteArray metaUtf8 = "<meta charset='utf-8'>";
    struct Case {
        const char *what;
        QByteArray bytes;
        QByteArray contentType;
        QString endsWith;
    } cases[] = {
        {"header names the Korean code page", cp949, "text/html; charset=ks_c_5601-1987", hangul},
        {"header wins over the meta", metaUtf8 + cp949, "text/html; charset=\"euc-kr\"", hangul},
        {"meta when the header has none", metaKr + cp949, "text/html", hangul},
        {"meta when the header's charset is unknown", metaKr + cp949, "text/html; charset=nonsense", hangul},
        // Neither UTF-8 nor the Korean code page reads this byte as the page means it.
        {"meta of a western page", "<meta charset=windows-1252>caf\xE9", "text/html", QStringLiteral("café")},
        {"valid UTF-8 without any label", utf8, "text/html", hangul},
        {"the Korean code page when UTF-8 does not fit", cp949, "text/html", hangul},
        {"a byte order mark wins", "\xEF\xBB\xBF" + utf8, "text/html; charset=euc-kr", hangul},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(sources::decodeWebPage(c.bytes, c.contentType).endsWith(c.endsWith)) << c.what;
}

TEST(PageSongsFinder, AddressesThatAreNoSongs)
{
    const QUrl page("http://site.test/dir/page.html");
    const QString html = QStringLiteral(
        "<a href='javascript:void(0)//a.mp3'>1</a><a href='data:text/plain,a.mp3'>2</a>"
        "<a href='file:///home/me/a.mp3'>3</a><a href='ftp://site.test/a.mp3'>4</a>"
        "<audio src='  '></audio><audio src='javascript:x'></audio><a href='a.mp3.txt'>5</a>"
        "<a href=' /x/a.mp3#t=1 '>6</a><a href='/x/a.mp3'>7</a>"
        // An attachment host prefix followed by another host name is not the host.
        "<script>var u = 'http://files.test.evil.example/b.mp3'; var v = 'http://files.test/c.txt';</script>");
    const auto found = sources::findPageSongs(html, page, QStringLiteral("http://files.test"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->songs, QStringList{"http://site.test/x/a.mp3"});
}

TEST(PageSongsFinder, AudioAndAddressChecks)
{
    const QByteArray id3("ID3\x03\0\0\0\0\0\0\0\0", 12);
    const QByteArray frame("\xFF\xFB\x90\x64\0\0\0\0\0\0\0\0", 12); // MPEG-1 layer III, 128 kb/s
    const QByteArray adts("\xFF\xF1\x50\x80\0\0\0\0\0\0\0\0", 12);
    const QByteArray wave("RIFF\x24\0\0\0WAVE", 12);
    const QByteArray m4a("\0\0\0\x20" "ftypM4A ", 12);
    for (const QByteArray &b : {id3, frame, adts, wave, m4a, QByteArray("OggS\0\x02"), QByteArray("fLaC")})
        EXPECT_TRUE(sources::looksLikeAudio(b)) << b.toHex().toStdString();
    for (const QByteArray &b : {QByteArray("<!DOCTYPE html>"), QByteArray("\xFF\xFF\xFF\xFF"), QByteArray("RIFF\0\0\0\0AVI "),
                                QByteArray("\xFF\xFB\xF0\x00"), QByteArray()})
        EXPECT_FALSE(sources::looksLikeAudio(b)) << b.toHex().toStdString();

    for (const char *yes : {"http://a.test", "https://a.test/x?y=1", " HTTP://A.test/노래.mp3 "})
        EXPECT_TRUE(sources::isWebAddress(QString::fromUtf8(yes))) << yes;
    for (const char *no : {"a.test", "www.a.test/x", "ftp://a.test", "http://", "http:/a.test", "노래 http://a.test",
                           "javascript:alert(1)", "file:///a.mp3"})
        EXPECT_FALSE(sources::isWebAddress(QString::fromUtf8(no))) << no;
}

} // namespace

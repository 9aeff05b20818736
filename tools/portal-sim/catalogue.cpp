#include "catalogue.h"

#include <QStringList>

namespace portalsim {

namespace {

// Titles and artists are combined from word lists so that the chart has 100
// distinct rows mixing Hangul, Latin letters, digits and punctuation.
const QStringList kKoreanTitleHeads = {
    QStringLiteral("봄날의"), QStringLiteral("여름밤"), QStringLiteral("가을 편지"), QStringLiteral("겨울"),
    QStringLiteral("새벽"), QStringLiteral("너의"), QStringLiteral("우리의"), QStringLiteral("작은"),
    QStringLiteral("푸른"), QStringLiteral("마지막"),
};
const QStringList kKoreanTitleTails = {
    QStringLiteral("기억"), QStringLiteral("노래"), QStringLiteral("바다"), QStringLiteral("별빛"),
    QStringLiteral("정류장"), QStringLiteral("약속"),
};
const QStringList kLatinTitles = {
    "Blue Morning", "Paper Plane", "Runaway Train", "Neon Lights", "Slow Motion",
    "Midnight Drive", "Sugar & Salt", "Echo (Remix)", "Summer Rain", "Gravity",
    "Daydream", "Stay With Me", "Golden Hour", "Wildflower", "Moonwalk",
    "Heartbeat", "Starlight", "City of Dreams", "One More Time", "Lighthouse",
    "Butterfly", "Rewind", "Polaroid", "Homesick", "Afterglow",
    "Satellite", "Velvet", "Parade", "Firefly", "Snowfall",
    "Holiday", "Dear My Friend", "Crossroads", "Hello 2026", "Rainbow",
    "Oasis", "Comet", "Tangerine", "Lullaby", "Sunflower",
};
const QStringList kArtists = {
    QStringLiteral("하늘소리"), QStringLiteral("김민서"), QStringLiteral("별무리"), QStringLiteral("이서준"),
    "Blue Harbor", QStringLiteral("바람꽃"), "The Paper Kites Club", QStringLiteral("윤하람"),
    "NOVA", QStringLiteral("달빛소년단"), "Mellow Tree", QStringLiteral("한여름 밴드"),
    QStringLiteral("정유나"), "Jay & Min", QStringLiteral("오렌지캬라멜팝"), "Sora Kim",
    QStringLiteral("새벽세시"), "Lumen", QStringLiteral("강태오"), QStringLiteral("푸른숲 프로젝트"),
};

QList<Song> build()
{
    QList<Song> songs;
    int korean = 0;
    int latin = 0;
    for (int i = 0; i < 100; ++i) {
        Song s;
        s.id = i + 1;
        if (i % 5 == 1 || i % 5 == 3) {
            s.title = kLatinTitles[latin++ % kLatinTitles.size()];
        } else {
            const int k = korean++;
            s.title = kKoreanTitleHeads[k % kKoreanTitleHeads.size()] + ' '
                      + kKoreanTitleTails[(k / kKoreanTitleHeads.size() + k) % kKoreanTitleTails.size()];
        }
        s.artist = kArtists[(i * 7) % kArtists.size()];
        songs.append(s);
    }
    return songs;
}

} // namespace

const QList<Song> &catalogue()
{
    static const QList<Song> songs = build();
    return songs;
}

} // namespace portalsim

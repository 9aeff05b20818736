#pragma once
// The simulator's sample catalogue: 100 songs with Korean and Latin titles and
// artists, in chart order. Names are made up.
#include <QList>
#include <QString>

namespace portalsim {

struct Song {
    int id;         // 1-based chart position, also the portal's song id
    QString title;
    QString artist;
};

const QList<Song> &catalogue();

} // namespace portalsim

// Finding the music address in a post page's text.
#include "sources/postreader.h"

#include <gtest/gtest.h>

namespace {

TEST(FindMusicAddress, Cases)
{
    const QString attach = "http://files.test";
    const QString title = QStringLiteral("<!-- 제목 -->");
    struct Case {
        const char *what;
        QString page;
        std::optional<QString> address;
    } cases[] = {
        {"attachment ends before the blank", "x http://files.test/a/b.mp3 y", QString("http://files.test/a/b.mp3")},
        {"script text after the attachment is cut",
         "['http://files.test/a.mp3\\',\\'encodedAttachFileName\\':\\'a.mp3\\',\\'size\\':\\'1\\'}] more",
         QString("http://files.test/a.mp3")},
        {"quoted link keeps its closing quote", "<a href=\"http://files.test/a.mp3\" class=f>",
         QString("http://files.test/a.mp3\"")},
        {"attachment without a blank runs to the end", "<a href=http://files.test/a.mp3", QString("http://files.test/a.mp3")},
        {"attachment wins over an embed", title + "<embed src=/x.mp3> http://files.test/b.mp3 ", QString("http://files.test/b.mp3")},
        {"quoted src, another attribute after it, lower-cased",
         title + "<EMBED SRC=\"HTTP://Host/Media/Song.MP3\" autostart=true>", QString("http://host/media/song.mp3")},
        {"unquoted src", title + "<embed src=http://h/m.mp3 width=3>", QString("http://h/m.mp3")},
        {"src running to the tag's end", title + "<embed src='http://h/m.mp3'>", QString("http://h/m.mp3")},
        {"src running to a self-closing tag's end", title + "<embed src=\"http://h/m.mp3\"/>", QString("http://h/m.mp3")},
        {"embed only before the title marker", "<embed src=http://h/m.mp3 >" + title + " text", std::nullopt},
        {"no title marker", "<embed src=http://h/m.mp3 >", std::nullopt},
        {"tag without src", title + "<embed type=audio width=3>", std::nullopt},
        {"empty src value", title + "<embed src= width=3>", std::nullopt},
        {"no music at all", title + "<p>text</p>", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(sources::findMusicAddress(c.page, attach), c.address) << c.what;
}

} // namespace

// Pure parts of the blog search: post addresses, digits, the start value.
#include "sources/search.h"

#include <gtest/gtest.h>

namespace {

TEST(PostViewURL, Cases)
{
    const QString blog = "http://blog.test/";
    struct Case {
        QString href;
        std::optional<QString> expected;
    } cases[] = {
        {"http://blog.test/singer?Redirect=Log&logNo=2231", QString("http://blog.test/PostView.nhn?blogId=singer&logNo=2231")},
        // Every occurrence of the blog host is removed from the blog id.
        {"http://blog.test/http://blog.test/x?a&logNo=9&y=1", QString("http://blog.test/PostView.nhn?blogId=x&logNo=9&y=1")},
        {"http://blog.test/singer", std::nullopt},                 // no "?": no blog id to cut
        {"http://blog.test/singer?Redirect=Log", std::nullopt},    // no "&logNo=": no post number
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.href.toStdString());
        EXPECT_EQ(sources::postViewURL(c.href, blog), c.expected);
    }
}

TEST(PageDigits, FirstTwoDigitsOfPagePlusOne)
{
    EXPECT_EQ(sources::pageDigits(0), qMakePair(0, 1));
    EXPECT_EQ(sources::pageDigits(9), qMakePair(1, 0));
    EXPECT_EQ(sources::pageDigits(42), qMakePair(4, 3));
    EXPECT_EQ(sources::pageDigits(99), qMakePair(1, 0));
}

TEST(SearchRequest, StartValueIsPageAndDigitOneWithLeadingBlank)
{
    qputenv("SORIMBA_SEARCH_HOST", "http://s.test");
    EXPECT_EQ(sources::searchRequestURL("a b", 0),
              "http://s.test/search.naver?where=post&sm=tab_pge&query=a+b&start= 01&st=sim&date_option=-1"
              "&date_from=&date_to=&dup_remove=2&post_blogid=");
    EXPECT_TRUE(sources::searchRequestURL("a", 3).contains("&start= 31&st=sim"));
    qunsetenv("SORIMBA_SEARCH_HOST");
}

} // namespace

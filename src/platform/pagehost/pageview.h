#pragma once
// A page host that shows its page: the update window's browser. Navigate()
// and Busy() behave as the hidden host's; once a load ends the page is shown
// in the bounded form the host shapes it into (links load in the same view),
// or a short Korean line with the cause when the load failed or the page is
// beyond the bounds.
#include "platform/pagehost/pagehost.h"

#include <QTextBrowser>

namespace platform {

class PageView : public QTextBrowser {
    Q_OBJECT
public:
    explicit PageView(QWidget *parent = nullptr);

    void Navigate(const QString &url);
    bool Busy() const { return m_host->Busy(); }
    PageHost *host() const { return m_host; }

    // Keeps a band of this height (pixels) free above the page, for what the
    // window lays over the view's top edge; the view still fills its area.
    void setTopReserve(int pixels);

signals:
    void documentComplete();

protected:
    // Pictures and style sheets of outside pages are not fetched.
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void showLoaded();
    PageHost *m_host;
};

} // namespace platform

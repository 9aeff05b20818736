#pragma once
// The update window: the maker's update page in a page host that fills the
// window, under four labels; the second label opens the maker's home page in
// the desktop's browser. It cannot be closed while the page loads; once it
// can, it hands over to the next window (the usage notice) and unloads itself.
#include "controls/skin.h"
#include "platform/pagehost/pageview.h"

#include <QWidget>
#include <functional>

namespace app {

class FrmUpdate : public QWidget {
    Q_OBJECT
public:
    // next runs once, when the window closes.
    explicit FrmUpdate(std::function<void()> next = {}, QWidget *parent = nullptr);

    // Starts loading the update page and shows the window centred on the screen.
    void Load();

    controls::SkinLabel *lblPartner = nullptr;
    controls::SkinLabel *lblSite = nullptr; // opens the maker's home page
    controls::SkinLabel *lblRead = nullptr;
    controls::SkinLabel *lblBugs = nullptr;
    platform::PageView *W = nullptr;

    void lblSite_MouseDown();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    std::function<void()> m_next;
    bool m_closed = false;
};

} // namespace app

#include "controls/skin.h"

#include <QDebug>
#include <QVariant>
#include <QFont>
#include <QIcon>

#include <algorithm>

namespace controls {

namespace {
const PropertyBag &storedOrEmpty(const WindowDefinition &definition, const QString &name)
{
    static const PropertyBag empty;
    const PropertyBag *bag = definition.properties(name);
    return bag ? *bag : empty;
}
} // namespace

SkinLabel *makeLabel(QWidget *parent, const WindowDefinition &definition, const QString &name, const QRect &geometry)
{
    auto *label = new Caption(name, storedOrEmpty(definition, name), parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

SkinButton *makeButton(QWidget *parent, const WindowDefinition &definition, const QString &name, const QRect &geometry)
{
    auto *button = new CandyButton(parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->ReadProperties(storedOrEmpty(definition, name));
    return button;
}

SkinProgressBar *makeProgressBar(QWidget *parent, const WindowDefinition &definition, const QString &name,
                                 const QRect &geometry)
{
    auto *bar = new ProgressBar(name, storedOrEmpty(definition, name), parent);
    bar->setObjectName(name);
    bar->setGeometry(geometry);
    return bar;
}

SkinImage *makeImage(QWidget *parent, const WindowDefinition &definition, const QString &name, const QRect &geometry)
{
    auto *image = new aicAlphaImage(parent);
    image->setObjectName(name);
    image->setGeometry(geometry); // the stored image is decoded at this size
    image->ReadProperties(storedOrEmpty(definition, name));
    return image;
}

void showStatusText(SkinLabel *label, const QString &text, const QString &hint, StatusRoom room)
{
    // The label's place as the window laid it out, kept from the first call.
    static const char kHome[] = "statusTextHome";
    QVariant stored = label->property(kHome);
    if (!stored.isValid()) {
        stored = label->geometry();
        label->setProperty(kHome, stored);
    }
    const QRect home = stored.toRect();
    const QWidget *parent = label->parentWidget();
    const int parentWidth = parent ? parent->width() : home.width();
    const int widest = room == StatusRoom::Parent ? parentWidth : home.width();
    const auto widthOf = [label](const QString &t) { return (label->TextWidth(t) + 14) / 15; };

    // A text wider than all the room there is ends in an ellipsis.
    QString shown = text;
    if (widthOf(shown) > widest) {
        const QString ellipsis = QStringLiteral("…");
        qsizetype fits = 0, tooWide = text.size(); // the longest start that fits lies between
        while (tooWide - fits > 1) {
            const qsizetype mid = (fits + tooWide) / 2;
            (widthOf(text.left(mid) + ellipsis) <= widest ? fits : tooWide) = mid;
        }
        shown = text.left(fits) + ellipsis;
    }
    const int needed = std::min(widest, widthOf(shown));
    QRect place = home;
    if (needed > home.width()) {
        const int extra = needed - home.width();
        switch (label->captionAligmend()) {
        case 2: place.setLeft(home.left() - extra); break;
        case 1: place.adjust(-extra / 2, 0, extra - extra / 2, 0); break;
        default: place.setRight(home.right() + extra); break;
        }
        // Kept inside the parent, the grown side giving way first.
        if (place.left() < 0)
            place.moveLeft(0);
        if (place.right() >= parentWidth)
            place.moveRight(parentWidth - 1);
    }
    label->setGeometry(place);
    label->setCaption(shown);
    QString tip = text;
    if (!hint.isEmpty())
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + hint;
    label->setToolTip(tip);
    if (place != home)
        label->raise();
}

WindowDefinition loadWindowDefinition(const QString &resource)
{
    QString error;
    if (auto definition = WindowDefinition::load(resource, &error))
        return *definition;
    qWarning() << "window definition" << resource << "not read:" << error;
    return WindowDefinition();
}

QLabel *makePicture(QWidget *parent, const QString &resource, const QRect &geometry)
{
    auto *picture = new QLabel(parent);
    picture->setGeometry(geometry);
    picture->setPixmap(QPixmap(resource));
    return picture;
}

void setUpWindow(QWidget *window, const QString &name, const QString &caption)
{
    window->setObjectName(name);
    window->setWindowTitle(caption);
    window->setWindowIcon(QIcon(QStringLiteral(":/pictures/note.ico")));
    window->setFont(QFont(QStringLiteral("Gulim"), 9));
}

void useFixedSingleBorder(QWidget *window, const QSize &size)
{
    window->setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    window->setFixedSize(size);
}

void useWhiteBackground(QWidget *window)
{
    window->setAutoFillBackground(true);
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, Qt::white);
    window->setPalette(pal);
}

} // namespace controls

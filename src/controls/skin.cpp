#include "controls/skin.h"

#include <QDebug>
#include <QFont>
#include <QIcon>

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

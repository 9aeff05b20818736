#pragma once
// The skin controls the windows place, made from the stored properties in the
// window's definition (a resource in the text format of propertybag.h). The
// windows name only these aliases and makers.
#include "controls/alphaimage.h"
#include "controls/candybutton.h"
#include "controls/caption.h"
#include "controls/progressbar.h"
#include "controls/propertybag.h"

#include <QLabel>
#include <QRect>

namespace controls {

using SkinLabel = Caption;
using SkinButton = CandyButton;
using SkinProgressBar = ProgressBar;
using SkinImage = aicAlphaImage;

// Each maker places the named control at geometry (pixels) with the
// properties stored for it; a control without stored properties gets the
// control's load defaults.
SkinLabel *makeLabel(QWidget *parent, const WindowDefinition &definition, const QString &name, const QRect &geometry);
SkinButton *makeButton(QWidget *parent, const WindowDefinition &definition, const QString &name, const QRect &geometry);
SkinProgressBar *makeProgressBar(QWidget *parent, const WindowDefinition &definition, const QString &name,
                                 const QRect &geometry);
SkinImage *makeImage(QWidget *parent, const WindowDefinition &definition, const QString &name, const QRect &geometry);

// A skinned window's frame: its object name, caption, the note icon and the
// skin's 9-point Gulim.
void setUpWindow(QWidget *window, const QString &name, const QString &caption);
// A fixed single border (a close box only, no minimise or maximise button)
// around a client area of size (pixels).
void useFixedSingleBorder(QWidget *window, const QSize &size);

// A window picture (a resource) placed at geometry (pixels).
QLabel *makePicture(QWidget *parent, const QString &resource, const QRect &geometry);
// The skinned windows stand on white: their pictures are drawn for it.
void useWhiteBackground(QWidget *window);

// Shows a message in a status label so that it is read whole: a text wider
// than the label's place widens it within its room (a right-aligned label to
// the left, a centred one both ways, a left-aligned one to the right) and a
// shorter one gives the place back. A text wider than all its room ends in an
// ellipsis. The whole text, then the hint, is the label's tooltip.
enum class StatusRoom {
    Parent, // the whole width of the label's parent
    Own,    // the label's own place: its neighbours leave it no more
};
void showStatusText(SkinLabel *label, const QString &text, const QString &hint = {},
                    StatusRoom room = StatusRoom::Parent);

// A window definition from a resource; an empty one (with a warning) when it
// cannot be read, so that a damaged resource never stops a window.
WindowDefinition loadWindowDefinition(const QString &resource);

} // namespace controls

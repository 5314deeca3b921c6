#pragma once
#include <QRect>
#include <QWidget>

// Window arrangement is given in twips; at 96 dpi there are 15 twips to a pixel.
// Qt scales these device-independent pixels with the screen's dpi.
inline int Twips(int twips) { return (twips + 7) / 15; }

inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

// Puts a control on its window: object name for tests, geometry in pixels, and for
// a control without a caption the accessible name screen readers and UI-automation
// tools find it by. A caption is left to name its control, so a caption that
// changes is read as it is shown.
template <typename Widget>
Widget *Place(Widget *widget, QWidget *parent, const QString &name, const QRect &where,
              const QString &accessibleName = QString())
{
    widget->setParent(parent);
    widget->setObjectName(name);
    widget->setGeometry(where);
    if (!accessibleName.isEmpty())
        widget->setAccessibleName(accessibleName);
    return widget;
}

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

// Puts a control on its window: object name for tests, geometry in pixels, and the
// accessible name screen readers and UI-automation tools find it by.
template <typename Widget>
Widget *Place(Widget *widget, QWidget *parent, const QString &name, const QRect &where,
              const QString &accessibleName)
{
    widget->setParent(parent);
    widget->setObjectName(name);
    widget->setGeometry(where);
    widget->setAccessibleName(accessibleName);
    return widget;
}

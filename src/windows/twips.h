#pragma once
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

inline QPushButton *Button(QWidget *parent, const char *name, const QString &caption, const QRect &where)
{
    auto *button = Place(new QPushButton(caption), parent, name, where);
    button->setAutoDefault(false);
    return button;
}

inline QLineEdit *TextBox(QWidget *parent, const char *name, const QRect &where, const QString &accessibleName)
{
    return Place(new QLineEdit, parent, name, where, accessibleName);
}

// Labels read left-aligned; one that stands left of its box is right-aligned against
// it, so that a longer text grows away from the box.
inline void Label(QWidget *parent, const char *name, const QString &caption, const QRect &where,
           Qt::Alignment alignment = Qt::AlignLeft)
{
    Place(new QLabel(caption), parent, name, where)->setAlignment(alignment | Qt::AlignVCenter);
}

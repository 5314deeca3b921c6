#include "windows/clientarea.h"

#include <QResizeEvent>

ClientArea::ClientArea(const QSize &smallest)
{
    setMinimumSize(smallest);
    resize(smallest);
}

void ClientArea::Grow(QWidget *tall, const QList<QWidget *> &wide)
{
    Tall = tall;
    TallBottom = tall->geometry().bottom();
    Wide = wide;
    for (QWidget *control : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        Smallest.append({control, control->geometry()});
}

void ClientArea::resizeEvent(QResizeEvent *event)
{
    const QSize extra = event->size() - minimumSize();
    for (const auto &[control, at] : Smallest) {
        QRect where = at;
        if (control == Tall)
            where.setBottom(at.bottom() + extra.height());
        else if (at.top() > TallBottom)
            where.translate(0, extra.height());
        if (Wide.contains(control))
            where.setRight(at.right() + extra.width());
        control->setGeometry(where);
    }
}

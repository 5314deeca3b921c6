#pragma once
#include <QList>
#include <QRect>
#include <QWidget>
#include <utility>

// A window's client area whose controls stand at fixed places at its smallest size.
// Made bigger, one control takes the extra height and the wide ones the extra width;
// the controls below the tall one move down with it, the others keep their places.
class ClientArea : public QWidget {
public:
    explicit ClientArea(const QSize &smallest);
    // Call once every control stands where it does at the smallest size.
    void Grow(QWidget *tall, const QList<QWidget *> &wide);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *Tall = nullptr;
    int TallBottom = 0;
    QList<QWidget *> Wide;
    QList<std::pair<QWidget *, QRect>> Smallest; // each control's place at the smallest size
};

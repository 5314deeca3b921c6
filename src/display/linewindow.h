#pragma once
#include <QElapsedTimer>
#include <QStringList>

class QListWidget;

// One scrolling line list (traffic or Debug window) holding its newest 100 rows.
// The list widget belongs to the window; this class only feeds it.
class LineWindow
{
public:
    static constexpr int MaxRows = 100;

    explicit LineWindow(QListWidget *list);
    void AppendRows(const QStringList &rows);
    void AppendRow(const QString &row);
    void Clear();
    QListWidget *List() const;

private:
    void Repaint();

    QListWidget *ListBox;
    QElapsedTimer SinceRepaint;
};

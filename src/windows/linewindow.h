#pragma once
#include <QElapsedTimer>
#include <QFont>
#include <QSize>
#include <QStringList>
#include <QTimer>
#include <vector>

class QListWidget;

// One scrolling line list (traffic or Debug window) holding its newest 100 rows.
// The list widget belongs to the window; this class only feeds it.
// Rows reach the list when the event loop is next free, and are painted at most once
// a frame: a burst of thousands of packets costs a few list updates. Rows come in
// batches from the session's thread, so no handler here runs long.
class LineWindow
{
public:
    static constexpr int MaxRows = 100;

    explicit LineWindow(QListWidget *list);
    void AppendRows(const QStringList &rows);
    void AppendRow(const QString &row);
    // Appends the rows of a traffic line (WrapTrafficLine), wrapping it only if it
    // is still among the newest rows when they reach the list.
    void AppendWrapped(const QString &line);
    // A row that replaces the previous such row while no other row came after it.
    void ShowStatusRow(const QString &row);
    void Clear();
    QListWidget *List() const;

private:
    struct Line {
        QString Text;
        bool Wrap;
    };
    void Add(const QString &text, bool wrap);
    void Show();
    QSize RowSize(const QString &row);

    QListWidget *ListBox;
    QElapsedTimer SinceRepaint;
    QTimer PaintHeld; // running while rows wait for the end of the frame to be painted
    QTimer ShowSoon;  // running while rows wait for the loop to be free
    std::vector<Line> Pending; // not yet in the list, newest last
    bool StatusLast = false;   // the newest row came from ShowStatusRow
    // Row measures for MeasuredFont: the height, the width beside the text, and for
    // a monospaced font the width of a character.
    QFont MeasuredFont;
    int RowHeight = -1;
    int TextMargins = 0;
    int CharWidth = 0;
};

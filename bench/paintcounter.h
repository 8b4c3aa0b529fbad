#ifndef PAINTCOUNTER_H
#define PAINTCOUNTER_H

#include <QObject>

class QWidget;

// Counts the paint events a widget receives. A latency measured over a command that never
// reaches the canvas would look excellent, so each measurement also says how many frames it
// really drew.
class PaintCounter : public QObject
{
    Q_OBJECT

public:
    explicit PaintCounter(QWidget *watched);

    int count() const { return paints; }
    void reset() { paints = 0; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int paints = 0;
};

#endif // PAINTCOUNTER_H

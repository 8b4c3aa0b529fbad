#include "paintcounter.h"

#include <QEvent>
#include <QWidget>

PaintCounter::PaintCounter(QWidget *watched)
    : QObject(watched)
{
    watched->installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint)
        ++paints;
    return QObject::eventFilter(watched, event);
}

#ifndef TORVANE_H
#define TORVANE_H

#include "ui_torvane.h"

#include <QMainWindow>

// The main window: the canvas with the default object, and the toolbar that navigates it.
class Torvane : public QMainWindow
{
    Q_OBJECT

public:
    explicit Torvane(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

private:
    Ui_TorvaneClass ui;
};

#endif // TORVANE_H

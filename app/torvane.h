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

private slots:
    // Connected by name when the form is set up.
    void on_actionFit_triggered();
    void on_actionZoomIn_triggered();
    void on_actionZoomOut_triggered();
    void on_actionPanLeft_triggered();
    void on_actionPanRight_triggered();
    void on_actionPanDown_triggered();
    void on_actionPanUp_triggered();

private:
    Ui_TorvaneClass ui;
};

#endif // TORVANE_H

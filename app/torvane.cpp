#include "app/torvane.h"

#include "model/objectmodel.h"

Torvane::Torvane(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    ui.setupUi(this);
    ui.glcanvas->setModel(new ObjectModel);
}

void Torvane::on_actionFit_triggered()
{
    ui.glcanvas->fitView();
}

void Torvane::on_actionZoomIn_triggered()
{
    ui.glcanvas->zoomIn();
}

void Torvane::on_actionZoomOut_triggered()
{
    ui.glcanvas->zoomOut();
}

void Torvane::on_actionPanLeft_triggered()
{
    ui.glcanvas->panLeft();
}

void Torvane::on_actionPanRight_triggered()
{
    ui.glcanvas->panRight();
}

void Torvane::on_actionPanDown_triggered()
{
    ui.glcanvas->panDown();
}

void Torvane::on_actionPanUp_triggered()
{
    ui.glcanvas->panUp();
}

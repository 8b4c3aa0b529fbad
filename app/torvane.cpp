#include "app/torvane.h"

#include "model/objectmodel.h"

Torvane::Torvane(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    ui.setupUi(this);
    ui.glcanvas->setModel(new ObjectModel);
}

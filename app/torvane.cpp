#include "app/torvane.h"

#include "model/objectmodel.h"

#include <QShortcut>
#include <QSizeGrip>

Torvane::Torvane(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    ui.setupUi(this);
    ui.glcanvas->setModel(new ObjectModel);

    // A toolbar's buttons take no focus by default, which leaves the keyboard no way to the
    // commands: Tab now reaches them, and the arrow keys move between them. A click still
    // leaves focus where it was.
    for (QAction *action : ui.mainToolBar->actions())
        ui.mainToolBar->widgetForAction(action)->setFocusPolicy(Qt::TabFocus);

    // Zoom and fit keys as in every viewer, wherever the focus is in the window. They trigger
    // the actions, which themselves carry no shortcut, as their buttons show none.
    const auto shortcut = [this](const QKeySequence &keys, QAction *action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, action, &QAction::trigger);
    };
    shortcut(QKeySequence::ZoomIn, ui.actionZoomIn);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), ui.actionZoomIn);
    shortcut(QKeySequence::ZoomOut, ui.actionZoomOut);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_0), ui.actionFit);
    // The status bar's own resize grip, which the form does not hold.
    if (auto *grip = ui.statusBar->findChild<QSizeGrip *>())
        grip->setAccessibleName(QCoreApplication::translate("TorvaneClass", "Resize window"));
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

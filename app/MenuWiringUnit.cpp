// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "MenuWiringUnit.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

void LinkMenuItem(QAction& Item, QAction& Action, QObject& ActionList, QWidget& Window) {
    Action.setParent(&ActionList);
    Window.addAction(&Action);
    QAction* const ItemPtr = &Item;
    QAction* const ActionPtr = &Action;
    const auto Mirror = [ItemPtr, ActionPtr] {
        ItemPtr->setText(ActionPtr->text());
        ItemPtr->setEnabled(ActionPtr->isEnabled());
    };
    Mirror();
    QObject::connect(ActionPtr, &QAction::changed, ItemPtr, Mirror);
    QObject::connect(ItemPtr, &QAction::triggered, ActionPtr, [ActionPtr] { ActionPtr->trigger(); });
}

void NameSeparators(QMenu& Menu, const QStringList& Names) {
    qsizetype Next = 0;
    for (QAction* Action : Menu.actions())
        if (Action->isSeparator() && Next < Names.size())
            Action->setObjectName(Names[Next++]);
}

void FillPortMenu(QMenu& Menu, const QAction* Keep, const std::vector<TPortListing>& Ports,
                  const std::function<void(QAction&)>& Added) {
    const QList<QAction*> Items = Menu.actions();
    for (QAction* Item : Items)
        if (Item != Keep) {
            Menu.removeAction(Item);
            Item->deleteLater();
        }
    for (const TPortListing& Port : Ports) {
        QAction* Item = Menu.addAction(QStringLiteral("COM%1").arg(Port.PortNumber));
        Item->setData(Port.PortNumber);
        const QString Path = QString::fromStdString(Port.Path);
        Item->setToolTip(Path);
        Item->setStatusTip(Path);
        Added(*Item);
    }
    Menu.setToolTipsVisible(true);
}

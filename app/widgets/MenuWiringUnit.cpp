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
        QString Caption = QStringLiteral("COM%1").arg(Port.PortNumber);
        // The reason stands in the caption: a disabled item shows no tooltip.
        if (!Port.Unavailable.empty())
            Caption += QStringLiteral(" (%1)").arg(QString::fromStdString(Port.Unavailable));
        QAction* Item = Menu.addAction(Caption);
        Item->setData(Port.PortNumber);
        Item->setCheckable(true);
        Item->setChecked(Port.Connected);
        Item->setEnabled(Port.Unavailable.empty());
        Item->setToolTip(QString::fromStdString(PortToolTip(Port)));
        Item->setStatusTip(QString::fromStdString(Port.Path));
        Added(*Item);
    }
    Menu.setToolTipsVisible(true);
}

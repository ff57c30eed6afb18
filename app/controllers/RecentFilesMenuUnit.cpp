// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecentFilesMenuUnit.h"

#include "BusyCursorUnit.h"
#include "PackMonConstantsAndTypesUnit.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <utility>
#include <vector>

namespace {

bool IsFile(const std::string& Name) { return !Name.empty() && QFileInfo(QString::fromStdString(Name)).isFile(); }

} // namespace

std::unique_ptr<TKWBMRU> MakeRecentFileList(const std::string& IniFileName, const std::string& Section) {
    return std::make_unique<TKWBMRU>(IniFileName, Section, TRecentFilesMenu::ItemCount);
}

TRecentFilesMenu::TRecentFilesMenu(QMenu& AMenu, std::string AItemName, std::string ANotFoundText,
                                   std::unique_ptr<TKWBMRU> AList, std::function<void(const QString&)> AOpen)
    : Menu(AMenu), ItemName(std::move(AItemName)), NotFoundText(std::move(ANotFoundText)), Files(std::move(AList)),
      Open(std::move(AOpen)) {
    for (int I = 0; I < ItemCount; ++I) {
        QAction* Item = Menu.addAction(QString());
        Item->setObjectName(QString::fromStdString(ItemName) + QString::number(I));
        Item->setData(I);
        Item->setVisible(false);
        MenuItems << Item;
    }
}

void TRecentFilesMenu::Refresh() {
    std::vector<std::string> Gone;
    for (int I = 0; I < ItemCount; ++I) {
        const std::string Name = Files->GetFileName(I);
        if (!IsFile(Name))
            Gone.push_back(Name);
    }
    Saving([&] {
        for (const std::string& Name : Gone)
            Files->RemoveFileName(Name);
    });
    for (int I = 0; I < ItemCount; ++I) {
        const QString Name = QString::fromStdString(ItemName) + QString::number(I);
        auto* Item = Menu.findChild<QAction*>(Name);
        if (Item == nullptr)
            throw EPackMonException(NotFoundText + Name.toStdString());
        const QString Caption = QString::fromStdString(Files->GetFileName(I));
        Item->setText(Caption);
        Item->setVisible(!Caption.isEmpty());
    }
}

template <typename Work> void TRecentFilesMenu::Saving(Work&& Change) {
    try {
        Change();
        *UnsavedSaid = false;
    } catch (const EPackMonException& Failure) {
        if (!std::exchange(*UnsavedSaid, true) && Unsaved)
            Unsaved(Failure.Message() + "; the recent files are kept until the program ends");
    }
}

void TRecentFilesMenu::Remember(const QString& FileName) {
    Saving([&] { Files->AddFileName(FileName.toStdString()); });
}

void TRecentFilesMenu::OpenItem(QAction& Item) {
    const std::string Name = Files->GetFileName(Item.data().toInt());
    if (!IsFile(Name))
        return;
    TBusyCursor Busy;
    Open(QString::fromStdString(Name));
}

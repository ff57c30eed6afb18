// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDialogUnit.h"

#include <QStringList>

namespace {

// "Description|pattern" pairs in the form Qt's dialogs take.
QString QtNameFilter(const QString& Filter) {
    const QStringList Parts = Filter.split(QLatin1Char('|'));
    QStringList Filters;
    for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
        const QString Pattern = QStringLiteral("(%1)").arg(Parts[I + 1]);
        Filters << (Parts[I].endsWith(Pattern) ? Parts[I] : Parts[I] + QLatin1Char(' ') + Pattern);
    }
    return Filters.join(QStringLiteral(";;"));
}

} // namespace

void SetUpFileDialog(QFileDialog& Dialog, const char* Name, bool Save, const QString& Filter,
                     const QString& DefaultExtension) {
    Dialog.setObjectName(QString::fromLatin1(Name));
    Dialog.setAcceptMode(Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    Dialog.setFileMode(Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    Dialog.setNameFilter(QtNameFilter(Filter));
    Dialog.setDefaultSuffix(DefaultExtension.mid(1));
    Dialog.setSizeGripEnabled(true);
}

std::optional<QString> ExecuteFileDialogModally(QFileDialog& Dialog) {
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Dialog.selectedFiles().constFirst();
}

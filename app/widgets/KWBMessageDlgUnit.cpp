// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "KWBMessageDlgUnit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QRect PlaceMessageDialog(const QRect& Owner, const QSize& DialogSize, const QSize& Screen) {
    int Width = DialogSize.width();
    int Height = DialogSize.height();
    int Left = Owner.left() + (Owner.width() - Width) / 2;
    int Top = Owner.top() + (Owner.height() - Height) / 2;
    if (Screen.width() < Width)
        Width = Screen.width();
    if (Screen.height() < Height)
        Height = Screen.height();
    if (Left + Width > Screen.width())
        Left = Screen.width() - Width;
    if (Top + Height > Screen.height())
        Top = Screen.height() - Height;
    if (Left < 0)
        Left = 0;
    if (Top < 0)
        Top = 0;
    return {Left, Top, Width, Height};
}

int KWBMessageDlg(const QString& Msg, QMessageBox::Icon DlgType, QMessageBox::StandardButtons Buttons,
                  QWidget* OwnerForm, int) {
    const QString Caption = DlgType == QMessageBox::Information ? QStringLiteral("Information")
                            : DlgType == QMessageBox::Warning   ? QStringLiteral("Warning")
                            : DlgType == QMessageBox::Critical  ? QStringLiteral("Error")
                                                                : QStringLiteral("Confirm");
    // Each CR in the message starts a new line.
    QString Shown = Msg;
    Shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox Box(DlgType, Caption, Shown, Buttons, OwnerForm);
    Box.adjustSize();
    if (OwnerForm != nullptr) {
        const QScreen* Primary = QGuiApplication::primaryScreen();
        const QSize Screen = Primary != nullptr ? Primary->geometry().size() : QSize(1024, 768);
        const QRect Place = PlaceMessageDialog(OwnerForm->frameGeometry(), Box.size(), Screen);
        Box.move(Place.topLeft());
    }
    return Box.exec();
}

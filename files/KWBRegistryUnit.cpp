// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "KWBRegistryUnit.h"

#include <QSettings>
#include <QStringList>
#include <memory>

namespace {

struct TRegistryKey {
    std::unique_ptr<QSettings> Store;
    QString Group;
};

TRegistryKey OpenKey(TRegistryRootKey RootKey, const std::string& KeyPath) {
    QStringList Parts = QString::fromStdString(KeyPath).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    const QSettings::Scope Scope = RootKey == HKEY_LOCAL_MACHINE_KEY ? QSettings::SystemScope : QSettings::UserScope;
    QString Maker = QStringLiteral("PackMon");
    QString Program = QStringLiteral("Registry");
    if (Parts.size() >= 3 && Parts[0].compare(QLatin1String("SOFTWARE"), Qt::CaseInsensitive) == 0) {
        Maker = Parts[1];
        Program = Parts[2];
        Parts = Parts.mid(3);
    }
    return {std::make_unique<QSettings>(QSettings::NativeFormat, Scope, Maker, Program), Parts.join(QLatin1Char('/'))};
}

bool KeyExists(QSettings& Store, const QString& Group) {
    if (Group.isEmpty())
        return true;
    Store.beginGroup(Group);
    const bool Exists = !Store.childKeys().isEmpty() || !Store.childGroups().isEmpty();
    Store.endGroup();
    return Exists;
}

QString ValueKey(const TRegistryKey& Key, const std::string& ValueName) {
    const QString Name = QString::fromStdString(ValueName);
    return Key.Group.isEmpty() ? Name : Key.Group + QLatin1Char('/') + Name;
}

} // namespace

void ReadRegistryString(const std::string& Default, TRegistryRootKey RootKey, const std::string& KeyPath,
                        bool CanCreate, const std::string& ValueName, std::string& Value) {
    Value = Default;
    TRegistryKey Key = OpenKey(RootKey, KeyPath);
    if (!CanCreate && !KeyExists(*Key.Store, Key.Group))
        return;
    const QString Name = ValueKey(Key, ValueName);
    const QVariant Stored = Key.Store->value(Name);
    const bool IsString = !Stored.isValid() || Stored.canConvert<QString>();
    const std::string Read = IsString ? Stored.toString().toStdString() : std::string();
    if (!IsString || (Read.empty() && CanCreate)) {
        Value = Default;
        Key.Store->setValue(Name, QString::fromStdString(Default));
        Key.Store->sync();
        return;
    }
    Value = Read;
}

void WriteRegistryString(const std::string& KeyPath, TRegistryRootKey RootKey, const std::string& ValueName,
                         bool CanCreate, const std::string& Value) {
    TRegistryKey Key = OpenKey(RootKey, KeyPath);
    if (!CanCreate && !KeyExists(*Key.Store, Key.Group))
        return;
    Key.Store->setValue(ValueKey(Key, ValueName), QString::fromStdString(Value));
    Key.Store->sync();
}

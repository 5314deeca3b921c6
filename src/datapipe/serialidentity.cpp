#include "datapipe/serialidentity.h"
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

SerialIdentity::SerialIdentity(const QString &device, const QString &byIdFolder) : Path(device)
{
    const QString real = QFileInfo(device).canonicalFilePath();
    if (real.isEmpty())
        return;
    // udev names each USB adapter's link after its maker, model and serial number.
    const QDir links(byIdFolder);
    for (const QFileInfo &link : links.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (link.isSymLink() && link.canonicalFilePath() == real) {
            ById = link.absoluteFilePath();
            return;
        }
    }
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (info.serialNumber().isEmpty() || QFileInfo(info.systemLocation()).canonicalFilePath() != real)
            continue;
        SerialNumber = info.serialNumber();
        Vendor = info.vendorIdentifier();
        Product = info.productIdentifier();
    }
}

QString SerialIdentity::Find() const
{
    if (!ById.isEmpty())
        return QFileInfo(ById).canonicalFilePath(); // "" while the link is gone or leads nowhere
    if (!SerialNumber.isEmpty()) {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
            if (info.serialNumber() == SerialNumber && info.vendorIdentifier() == Vendor
                && info.productIdentifier() == Product)
                return info.systemLocation();
        }
        return QString();
    }
    return QFileInfo::exists(Path) ? Path : QString();
}

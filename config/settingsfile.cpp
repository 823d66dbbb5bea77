#include "config/settingsfile.h"

#include "config/configversion.h"
#include "config/modeltables.h"
#include "config/profilestore.h"
#include "config/xmlguard.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

// Writes the bytes of source to target through a temporary file and a rename.
bool CopyReplacing(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "settings file: cannot read" << source << ":" << in.errorString();
        return false;
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        qWarning().noquote() << "settings file: read error on" << source << ":" << in.errorString();
        return false;
    }
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) {
        qWarning().noquote() << "settings file: cannot write" << target << ":" << out.errorString();
        return false;
    }
    if (out.write(bytes) != bytes.size() || !out.commit()) {
        qWarning().noquote() << "settings file: writing" << target << "failed:" << out.errorString();
        out.cancelWriting();
        return false;
    }
    return true;
}

QByteArray ReadAllOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? readXmlBytes(&file) : QByteArray();
}

// Models of the model tables whose profile the default file holds and the chosen file
// does not.
QStringList ModelsLackingFrom(const QString &defaultFile, const QString &chosen)
{
    QStringList keys;
    for (const UsbModelEntry &entry : kUsbModels)
        keys << QString::fromLatin1(entry.model);
    for (const BleModelEntry &entry : kBleModels)
        keys << QString::fromLatin1(entry.model);
    keys.removeDuplicates();
    const QStringList notShipped = UnreadableModels(ReadAllOf(defaultFile), keys);
    for (const QString &key : notShipped)
        keys.removeAll(key);
    return UnreadableModels(ReadAllOf(chosen), keys);
}

} // namespace

QString DefaultExportName(const QString &folder, const QDate &date)
{
    return QDir(folder).filePath(QStringLiteral("Inkora_Config_%1.pcfg").arg(date.toString(QStringLiteral("yyyy-MM-dd"))));
}

bool ExportConfigFile(const QString &profileFile, const QString &target)
{
    if (target.isEmpty())
        return false;
    return CopyReplacing(profileFile, target);
}

int ImportConfigFile(const QString &defaultFile, const QString &chosen, const QString &profileFile,
                     QStringList *missing, const QString &backupFile)
{
    if (missing)
        missing->clear();
    int code = 0;
    QString defaultVersion;
    if (!compareVersion(defaultFile, chosen, &code, &defaultVersion)) {
        qWarning().noquote() << "GetConfigXMLFileVersion Error" << code;
        return code;
    }
    // The right root and version say nothing about the content: a file without the
    // profile of a model would leave every such tablet unable to open.
    const QStringList lacking = ModelsLackingFrom(defaultFile, chosen);
    if (!lacking.isEmpty()) {
        qWarning().noquote() << "onImportConfigueFile: refused, no profile for" << lacking.join(QLatin1Char(' '));
        if (missing)
            *missing = lacking;
        return ProfileImportIncomplete;
    }
    if (!backupFile.isEmpty() && QFile::exists(profileFile)) {
        if (!CopyReplacing(profileFile, backupFile)) {
            qWarning().noquote() << "onImportConfigueFile: refused, the current file could not be kept as" << backupFile;
            return ProfileWriteFailed;
        }
        qInfo().noquote() << "onImportConfigueFile: the current file is kept as" << backupFile;
    }
    if (!CopyReplacing(chosen, profileFile))
        return ProfileWriteFailed;
    qInfo().noquote() << "onImportConfigueFile copy ok";
    return 0;
}

QVector<QByteArray> ProfileChunks(const QByteArray &bytes)
{
    const int whole = bytes.size() / kProfileChunkBytes;
    QVector<QByteArray> chunks;
    chunks.reserve(whole + 1);
    for (int i = 0; i <= whole; ++i) {
        QByteArray chunk = bytes.mid(i * kProfileChunkBytes, kProfileChunkBytes);
        chunk.append(QByteArray(kProfileChunkBytes - chunk.size(), '\0'));
        chunks.append(chunk);
    }
    return chunks;
}

int ProfileChunkPercent(int index, int count)
{
    if (count <= 1)
        return 100;
    return index * 100 / (count - 1);
}

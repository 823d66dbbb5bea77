#pragma once
// Folders and stored facts of one updater test: a program folder with the image under
// "bin/", a data folder with the language file, and the native settings store (where
// "Niblo"/"InkoraV2" keeps the firmware facts) in a temporary folder.

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

class FirmwareTestFolders {
public:
    FirmwareTestFolders()
    {
        QDir(m_root.path()).mkpath(QStringLiteral("program/bin"));
        QDir(m_root.path()).mkpath(QStringLiteral("data"));
        QDir(m_root.path()).mkpath(QStringLiteral("settings"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_root.path() + QStringLiteral("/settings"));
    }

    QString programFolder() const { return m_root.path() + QStringLiteral("/program"); }
    QString dataFolder() const { return m_root.path() + QStringLiteral("/data"); }
    QString imagePath() const { return programFolder() + QStringLiteral("/bin/kpx2000a_a220422.bin"); }

    void writeImage(const QByteArray &image) const
    {
        QFile f(imagePath());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(image);
    }
    void writeLanguage(const QByteArray &ini) const
    {
        QFile f(dataFolder() + QStringLiteral("/language.ini"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(ini);
    }

    static QVariant fact(const char *key)
    {
        QSettings facts(QStringLiteral("Niblo"), QStringLiteral("InkoraV2"));
        return facts.value(QStringLiteral("Tablet/") + QLatin1String(key));
    }
    static void setFact(const char *key, const QVariant &value)
    {
        QSettings facts(QStringLiteral("Niblo"), QStringLiteral("InkoraV2"));
        facts.setValue(QStringLiteral("Tablet/") + QLatin1String(key), value);
    }

private:
    QTemporaryDir m_root;
};

// An image of the given size that names its firmware date in its first bytes.
inline QByteArray TestImage(int size, const char *date = "20220519")
{
    QByteArray image = QByteArray("KPX2000A-A ") + date;
    image = image.left(size);
    while (image.size() < size)
        image.append(char(0x30 + image.size() % 71));
    return image;
}

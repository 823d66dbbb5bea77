#include "online/dataconfig.h"

#include <QFileInfo>
#include <QSettings>
#include <QUrl>

namespace {

// "host" or "https://host:port/" → "https://host:port"; empty when it is no usable URL.
QString baseUrl(QString text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return QString();
    if (!text.contains(QLatin1String("://")))
        text.prepend(QLatin1String("https://"));
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return QString();
    return text;
}

} // namespace

QString DataConfig::FilePath(const QString &installFolder)
{
    return installFolder + QStringLiteral("/dataconfig.ini");
}

DataConfig DataConfig::Read(const QString &installFolder)
{
    DataConfig config;
    const QString path = FilePath(installFolder);
    config.bInstalled = QFileInfo(path).isFile();
    if (!config.bInstalled)
        return config;

    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(QStringLiteral("config"));
    config.bCheckUpdate = settings.value(QStringLiteral("CheckUpdate"), false).toBool();
    config.strUpdateHost = baseUrl(settings.value(QStringLiteral("UpdateHost")).toString());
    config.strUpdateKey = settings.value(QStringLiteral("UpdateKey")).toString().trimmed();

    const QString url = settings.value(QStringLiteral("URL")).toString().trimmed();
    if (!url.isEmpty()) {
        config.strCollectionUrl = url;
    } else {
        const QString host = settings.value(QStringLiteral("DataHost")).toString().trimmed();
        if (!host.isEmpty())
            config.strCollectionUrl = QStringLiteral("https://%1:2005/receive/data").arg(host);
    }
    return config;
}

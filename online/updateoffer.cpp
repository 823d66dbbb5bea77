#include "online/updateoffer.h"

#include "online/updateserver.h"

#include <QDebug>
#include <QStyle>
#include <QVariant>
#include <QWidget>

void SetUpdateRedPoint(QWidget *settingsButton, bool on)
{
    if (!settingsButton)
        return;
    settingsButton->setProperty("redPoint", on ? QStringLiteral("1") : QStringLiteral("0"));
    settingsButton->setStyleSheet(
        on ? QStringLiteral("QPushButton{border-image:url(:/image/Res/btn_setting_r.png);}"
                            "QPushButton:hover{border-image:url(:/image/Res/btn_setting_r_hover.png);}"
                            "QPushButton:pressed{border-image:url(:/image/Res/btn_setting_r_pressed.png);}")
           : QString());
    // A style sheet may also select on the property: re-polish for the new value.
    settingsButton->style()->unpolish(settingsButton);
    settingsButton->style()->polish(settingsButton);
}

bool ApplyNewDriverOffer(QWidget *settingsButton, bool checkEnabled, const QString &version,
                         const QString &link)
{
    bool offered = UpdateServer::IsNewer(version, UpdateServer::InstalledDriverVersion());
    if (offered && !UpdateServer::IsDownloadLink(link)) {
        qWarning().noquote() << "Driver offer" << version << "without a usable download link ignored";
        offered = false;
    }
    SetUpdateRedPoint(settingsButton, offered && checkEnabled);
    return offered;
}

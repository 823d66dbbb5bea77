// The program core's language switch: the Language menu's choice applied to the tray,
// the captions and the settings window while they are open.

#include "app/appcore.h"

#include "app/mainwindow.h"
#include "app/mappingmodel.h"
#include "app/settingform.h"
#include "base/language.h"
#include "online/jsonserver.h"
#include "uiservice/mylrc.h"

#include <QAction>
#include <QDebug>

QString AppCore::languageChoice() const
{
    return Language::chosenGroup(m_strDataFolder);
}

void AppCore::SetLanguageChoice(const QString &group)
{
    if (!group.isEmpty() && !Language::groups().contains(group)) {
        qWarning().noquote() << "Language choice refused, no such group:" << group;
        return;
    }
    if (!Language::saveChoice(m_strDataFolder, group))
        qWarning().noquote() << "Language choice" << group << "could not be kept: it holds for this run only";
    applyLanguage(group.isEmpty() ? m_strSystemGroup : group);
}

void AppCore::applyLanguage(const QString &group)
{
    if (group == m_strLanguageGroup)
        return;
    qInfo().noquote() << "UI language group" << m_strLanguageGroup << "->" << group;
    m_strLanguageGroup = group;
    const QString path = m_LanguageTexts.fileName();
    Language::refreshFileForGroup(path, m_strInstallFolder + QStringLiteral("/config/language.ini"), group);
    // Read before the swap, so the reading threads never wait for the file.
    m_LanguageTexts = LanguageTexts::load(path, group);
    Language::applyNumberLocale(group);
    if (m_pThreadLanguage) {
        auto texts = std::make_shared<const LanguageTexts>(m_LanguageTexts);
        std::lock_guard<std::mutex> hold(*m_pThreadLanguageLock);
        m_pThreadLanguage->swap(texts);
    }
    if (m_pJsonServer)
        m_pJsonServer->SetLanguage(group);
    if (m_pCaption)
        m_pCaption->SetHideText(languageText(QStringLiteral("Common.hide"), QStringLiteral("Hide")));
    retranslateTray();
    // The tray's settings panel is built with its texts too: built anew when next opened,
    // or at once when it is open.
    if (m_pSettingForm) {
        const bool shown = m_pSettingForm->isVisible();
        m_pSettingForm.release()->deleteLater();
        if (shown)
            OpenSettingForm();
    }
    // The screen list's names ("All Screens", "Screen").
    m_pMapping->EnumDisplay();
    rebuildWindow();
    emit LanguageChanged(group);
}

void AppCore::retranslateTray()
{
    if (!m_pTrayIcon)
        return;
    m_pShowAction->setText(languageText(QStringLiteral("Tray.show"), QStringLiteral("Show")));
    m_pSettingAction->setText(languageText(QStringLiteral("Tray.setting"), QStringLiteral("Settings")));
    m_pUpdateAction->setText(languageText(QStringLiteral("Tray.update"), QStringLiteral("Check for updates")));
    m_pQuitAction->setText(languageText(QStringLiteral("Tray.exit"), QStringLiteral("Exit")));
    m_pDisplayAction->setText(
        languageText(QStringLiteral("DisplaySetting.Caption"), QStringLiteral("Display Settings")));
}

void AppCore::rebuildWindow()
{
    if (!m_pWindow)
        return;
    // The window's texts are set as its pages are built: a new window in the new
    // language takes its place, showing the same tablet, application and page. The old
    // one goes once control is back in the event loop: the menu entry that chose the
    // language is one of its children.
    const bool visible = m_pWindow->isVisible();
    const QRect geometry = m_pWindow->geometry();
    const MainWindow::View view = m_pWindow->currentView();
    MainWindow *old = m_pWindow.release();
    old->hide();
    disconnect(old);
    old->deleteLater();

    MainWindow &fresh = window();
    fresh.setGeometry(geometry);
    fresh.showView(view);
    if (visible)
        fresh.show();
}

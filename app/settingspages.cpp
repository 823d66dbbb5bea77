// The settings pages' frame in the main window: the page list and stack with one
// controller per page, the application bar, Confirm and Cancel, and the rebuilding of
// every page for the tablet and application shown.

#include "app/mainwindow.h"

#include "action/ui/hotkeywin.h"
#include "action/ui/jingximode.h"
#include "action/ui/keypreviewwindow.h"
#include "action/ui/rollerkey.h"
#include "app/actionlists.h"
#include "app/diagnosisfunction.h"
#include "app/keygrouppage.h"
#include "app/mappingmodel.h"
#include "app/penpage.h"
#include "app/ringpage.h"
#include "app/shortcutkeypage.h"
#include "app/tabletmessages.h"
#include "app/workareapage.h"
#include "config/modeltables.h"
#include "device/ctablet.h"
#include "device/tabletdiscovery.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

// --- building -----------------------------------------------------------------------

QWidget *MainWindow::buildDevicePage(QWidget *parent)
{
    const LanguageLookup texts = [this](const QString &key, const QString &fallback) { return languageText(key, fallback); };
    m_CustomEditor = [this, texts](QWidget *parent, QString *text, int rings, int trackPad) {
        CTablet *tablet = currentTablet();
        EditorDeviceCaps caps = tablet && tablet->TabletXMLData ? ActionCapsOf(*tablet->TabletXMLData) : EditorDeviceCaps{};
        caps.ringCount = rings;
        caps.trackPad = trackPad != 0;
        HotKeyWin editor(caps, texts, parent);
        editor.SetCustomText(*text);
        if (editor.exec() != QDialog::Accepted)
            return false;
        *text = editor.AcceptedText();
        return true;
    };
    m_RingEditor = [texts](QWidget *parent, QString *text, int, int) {
        RollerKey editor(texts, parent);
        editor.SetCustomText(*text);
        if (editor.exec() != QDialog::Accepted)
            return false;
        *text = editor.AcceptedText();
        return true;
    };
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);

    // The application bar: the common entry and up to seven applications.
    auto *appRow = new QHBoxLayout;
    m_pAppBar = new QListWidget(page);
    m_pAppBar->setObjectName(QStringLiteral("listWidget_app"));
    m_pAppBar->setFlow(QListView::LeftToRight);
    m_pAppBar->setViewMode(QListView::IconMode);
    m_pAppBar->setIconSize(QSize(32, 32));
    m_pAppBar->setMovement(QListView::Static);
    m_pAppBar->setFixedHeight(72);
    m_pAppBar->setWrapping(false);
    m_pAddApp = new QPushButton(QStringLiteral("+"), page);
    m_pAddApp->setObjectName(QStringLiteral("pushButton_addApp"));
    m_pDeleteApp = new QPushButton(QStringLiteral("\u2212"), page);
    m_pDeleteApp->setObjectName(QStringLiteral("pushButton_deleteApp"));
    appRow->addWidget(m_pAppBar, 1);
    appRow->addWidget(m_pAddApp);
    appRow->addWidget(m_pDeleteApp);
    layout->addLayout(appRow);
    connect(m_pAppBar, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0)
            return;
        onSelectAppItem(m_pAppBar->item(row)->data(Qt::UserRole).toString(), row + 1);
    });
    connect(m_pAddApp, &QPushButton::clicked, this, &MainWindow::OnAddApplication);
    connect(m_pDeleteApp, &QPushButton::clicked, this, &MainWindow::OnDeleteApplication);

    auto *body = new QHBoxLayout;
    m_pPageList = new QListWidget(page);
    m_pPageList->setObjectName(QStringLiteral("listWidget_pages"));
    m_pPageList->setFixedWidth(150);
    m_pPageStack = new QStackedWidget(page);
    m_pPageStack->setObjectName(QStringLiteral("stackedWidget_pages"));
    // One controller per page, in the order of SettingsPage.
    m_pWorkAreaPage = new WorkAreaPage(*this, m_pMapping, this);
    m_pPenPage = new PenPage(*this, this);
    m_pShortcutKeyPage = new ShortcutKeyPage(*this, this);
    m_pRingPage = new RingPage(*this, this);
    m_pKeyGroupPage = new KeyGroupPage(*this, *m_pRingPage, this);
    m_pPageStack->addWidget(m_pWorkAreaPage->Build(m_pPageStack));
    m_pPageStack->addWidget(m_pPenPage->Build(m_pPageStack));
    m_pPageStack->addWidget(m_pShortcutKeyPage->Build(m_pPageStack));
    m_pPageStack->addWidget(m_pRingPage->Build(m_pPageStack));
    m_pPageStack->addWidget(m_pKeyGroupPage->Build(m_pPageStack));
    connect(m_pWorkAreaPage, &WorkAreaPage::DisplaySettingsClicked, &m_core, &AppCore::OnDisplaySettings);
    connect(m_pWorkAreaPage, &WorkAreaPage::TabletPictureChanged, this, &MainWindow::showTabletPicture);
    // Sized once for its fullest page, every optional group shown (the tablet light is
    // the only one hidden until a tablet has it): showing another tablet or page never
    // makes the window jump. Polished first, so the style sheet's margins count.
    m_pPenPage->tabletLightGroup()->setHidden(false);
    for (QWidget *widget : m_pPageStack->findChildren<QWidget *>())
        widget->ensurePolished();
    m_pPageStack->setMinimumSize(m_pPageStack->minimumSizeHint());
    m_pPenPage->tabletLightGroup()->setHidden(true);
    body->addWidget(m_pPageList);
    body->addWidget(m_pPageStack, 1);
    layout->addLayout(body, 1);
    connect(m_pPageList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0 || row >= m_ListedPages.size())
            return;
        m_pPageStack->setCurrentIndex(m_bKeyGroupPage ? int(PageKeyGroup) : int(m_ListedPages[row]));
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    auto *confirm = new QPushButton(languageText(QStringLiteral("Common.ok"), QStringLiteral("OK")), page);
    confirm->setObjectName(QStringLiteral("pushButton_ok"));
    auto *cancel = new QPushButton(languageText(QStringLiteral("Common.cancel"), QStringLiteral("Cancel")), page);
    cancel->setObjectName(QStringLiteral("pushButton_cancel"));
    buttons->addWidget(confirm);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(confirm, &QPushButton::clicked, this, &MainWindow::ConfirmButtonClicked);
    connect(cancel, &QPushButton::clicked, this, &MainWindow::CancelButtonClicked);
    return page;
}

// --- state ----------------------------------------------------------------------------

AppConfigNode *MainWindow::currentApp() const
{
    CTablet *tablet = currentTablet();
    if (!tablet || !tablet->TabletXMLData)
        return nullptr;
    if (m_strCurrentApp.isEmpty())
        return &tablet->TabletXMLData->CommonAPP;
    const auto it = tablet->apps.find(m_strCurrentApp);
    return it == tablet->apps.end() ? &tablet->TabletXMLData->CommonAPP : it->second;
}

QVector<SettingsPage> MainWindow::listedPages() const
{
    return m_ListedPages;
}

MainWindow::View MainWindow::currentView() const
{
    return View{m_pDeviceSelector->currentText(), m_strCurrentApp, m_pPageList->currentRow()};
}

void MainWindow::showView(const View &view)
{
    const int entry = m_pDeviceSelector->findText(view.tablet);
    if (entry >= 0 && view.tablet != m_strShownTablet) {
        m_pDeviceSelector->setCurrentIndex(entry);
        m_strShownTablet = view.tablet;
        onSelectTabletDevice(m_strShownTablet);
    }
    for (int row = 0; row < m_pAppBar->count(); ++row) {
        if (m_pAppBar->item(row)->data(Qt::UserRole).toString() == view.app)
            m_pAppBar->setCurrentRow(row);
    }
    if (view.pageRow >= 0 && view.pageRow < m_pPageList->count())
        m_pPageList->setCurrentRow(view.pageRow);
}

int MainWindow::shownPage() const
{
    return m_pPageStack->currentIndex();
}

int MainWindow::currentPenSlot() const
{
    return m_pPenPage->currentPenSlot();
}

QCheckBox *MainWindow::mouseModeCheckBox() const
{
    return m_pPenPage->mouseModeCheckBox();
}

QCheckBox *MainWindow::windowsInkCheckBox() const
{
    return m_pPenPage->windowsInkCheckBox();
}

QSlider *MainWindow::speedSlider() const
{
    return m_pPenPage->speedSlider();
}

QComboBox *MainWindow::penButtonList(int button) const
{
    return m_pPenPage->penButtonList(button);
}

QComboBox *MainWindow::penMenu() const
{
    return m_pPenPage->penMenu();
}

QComboBox *MainWindow::keyList(int key) const
{
    return m_pShortcutKeyPage->keyList(key);
}

QAbstractButton *MainWindow::ringRadio(int id) const
{
    return m_pRingPage->ringRadio(id);
}

QSlider *MainWindow::tabletLightSlider() const
{
    return m_pPenPage->tabletLightSlider();
}

void MainWindow::selectPage(SettingsPage page)
{
    const int row = m_ListedPages.indexOf(page);
    if (row >= 0)
        m_pPageList->setCurrentRow(row);
}

QString MainWindow::tabletName() const
{
    CTablet *tablet = currentTablet();
    return tablet ? QString::fromUtf8(tablet->m_DeviceAttributes.ProductName) : QString();
}

void MainWindow::postUsage(const QString &name)
{
    emit UsageRecord(name);
}

QString MainWindow::shownTabletEntry() const
{
    return m_strShownTablet;
}

const MainWindow::CustomEditor &MainWindow::customEditor() const
{
    return m_CustomEditor;
}

const MainWindow::CustomEditor &MainWindow::ringEditor() const
{
    return m_RingEditor;
}

bool MainWindow::editTargetStillHere(const QPointer<CTablet> &tablet, const AppConfigNode *app, const char *editor,
                                     bool withResult)
{
    if (tablet && tablet == currentTablet() && currentApp() == app)
        return true;
    qWarning().noquote() << "The tablet left while its" << editor << "was open: the change is dropped";
    if (withResult)
        tellEditDropped(); // a cancelled editor had nothing to lose
    return false;
}

void MainWindow::tellEditDropped()
{
    notifyUser(languageText(QStringLiteral("Message.editDropped"),
                            QStringLiteral("The tablet was disconnected while its settings were being edited. "
                                           "The change was not applied.")),
               NoticeWay::Box);
}

// --- rebuilding -----------------------------------------------------------------------

void MainWindow::onSelectTabletDevice(const QString &name)
{
    CTablet *tablet = currentTablet();
    if (!tablet || m_pDeviceSelector->currentText() != name)
        return;
    m_strCurrentApp.clear();
    UpdateUIByAppChange();
    postUsage(QStringLiteral("onSelectTabletDevice"));
}

void MainWindow::onSelectAppItem(const QString &path, int index)
{
    qInfo().noquote() << "Function  onSelectAppItem:" << index << "path:" << path;
    CTablet *tablet = currentTablet();
    if (!tablet)
        return;
    if (index == 1 || path.isEmpty()) {
        m_strCurrentApp.clear();
    } else if (tablet->apps.count(path) != 0) {
        m_strCurrentApp = path;
    }
    m_pDeleteApp->setEnabled(!m_strCurrentApp.isEmpty());
    m_pMapping->SetCurrentApp(m_strCurrentApp);
    m_pMessages->SetCurrentApp(m_strCurrentApp);
    m_pPenPage->ShowFirstPen();
    m_pPenPage->Update(tablet);
    m_pShortcutKeyPage->Update(tablet);
    m_pKeyGroupPage->Update(tablet);
    m_pRingPage->Update(tablet);
    postUsage(QStringLiteral("onSelectAppItem"));
}

void MainWindow::UpdateUIByAppChange()
{
    qInfo() << "Function  UpdateUIByAppChange:";
    CTablet *tablet = currentTablet();
    m_pMapping->SetTablet(tablet);
    emit m_core.CurrentTabletChanged(); // the diagnosis dialog follows the tablet shown
    if (!tablet || !tablet->TabletXMLData)
        return;
    if (!m_strCurrentApp.isEmpty() && tablet->apps.count(m_strCurrentApp) == 0)
        m_strCurrentApp.clear();
    m_pMapping->SetCurrentApp(m_strCurrentApp);

    // 1. The application bar.
    fillApplicationBar(tablet);

    // 2. The page list; the pen slot starts at 0.
    const int previous = m_pPageList->currentRow() >= 0 && m_pPageList->currentRow() < m_ListedPages.size()
                             ? int(m_ListedPages[m_pPageList->currentRow()])
                             : -1;
    rebuildPageList(tablet);
    m_pPenPage->ShowFirstPen();

    // 3. The pen page.
    m_pPenPage->Update(tablet);

    // 4. The page selected before when it is still listed, else the first.
    // -1 is no SettingsPage value: converting it would be undefined, so it is not asked.
    const int row = previous >= 0 ? m_ListedPages.indexOf(SettingsPage(previous)) : -1;
    m_pPageList->setCurrentRow(-1);
    m_pPageList->setCurrentRow(row >= 0 ? row : 0);

    // 5. The work area: the model has filled its values from the profile (SetTablet);
    // the rotation buttons and the preview.
    m_pWorkAreaPage->Update(tablet, m_core.penDisplayFound());
    m_pMessages->SetCurrentTablet(tablet);
    m_pMessages->SetCurrentApp(m_strCurrentApp);
    m_core.updateLiveData();
    refreshBattery();

    // 6. The tablet light.
    m_pPenPage->UpdateTabletLight(tablet);

    // 7. The tablet picture.
    showTabletPicture(m_pMapping->TabletPicture());

    // 8. Express keys and key groups; 9. rings.
    m_pShortcutKeyPage->Update(tablet);
    m_pKeyGroupPage->Update(tablet);
    m_pRingPage->Update(tablet);
}

void MainWindow::fillApplicationBar(CTablet *tablet)
{
    const QSignalBlocker block(m_pAppBar);
    m_pAppBar->clear();
    auto *common = new QListWidgetItem(QIcon(QStringLiteral(":/image/Res/inkora.png")),
                                       languageText(QStringLiteral("App.common"), QStringLiteral("All")));
    common->setData(Qt::UserRole, QString());
    m_pAppBar->addItem(common);
    QFileIconProvider icons;
    int current = 0;
    for (const AppConfigNode *node = tablet->TabletXMLData->Apps; node; node = node->next) {
        const QString path = StoredText(node->path, sizeof node->path);
        auto *item = new QListWidgetItem(icons.icon(QFileInfo(path)), QFileInfo(path).completeBaseName());
        item->setData(Qt::UserRole, path);
        item->setToolTip(path);
        m_pAppBar->addItem(item);
        if (path == m_strCurrentApp)
            current = m_pAppBar->count() - 1;
    }
    m_pAppBar->setCurrentRow(current);
    m_pDeleteApp->setEnabled(m_pAppBar->count() > 1 && !m_strCurrentApp.isEmpty());
    m_pAddApp->setEnabled(m_pAppBar->count() < 8);
}

void MainWindow::rebuildPageList(CTablet *tablet)
{
    // The pen list grows from the reading thread's pen tracking: plan under the lock.
    const int kind = tablet->m_DeviceAttributes.DeviceKind;
    const PageListPlan plan =
        tablet->EditProfile([kind](const TabletXMLData &profile) { return PlanPages(profile, kind); });
    const QSignalBlocker block(m_pPageList);
    m_pPageList->clear();
    m_ListedPages = plan.items;
    m_bKeyGroupPage = plan.keyGroupPage;
    const char *keys[4] = {"WorkArea", "Pen", "ShortcutKey", "TR"};
    const char *fallbacks[4] = {"Work Area", "Pen", "Express Keys", "Ring"};
    // The keypad's ring is its dial.
    const bool keypad = tablet->m_DeviceAttributes.DeviceKind == kKindKeypad;
    for (SettingsPage page : m_ListedPages) {
        if (page == PageTR && keypad)
            m_pPageList->addItem(languageText(QStringLiteral("TR.Dial"), QStringLiteral("Dial")));
        else
            m_pPageList->addItem(languageText(QLatin1String(keys[page]), QLatin1String(fallbacks[page])));
    }
}

void MainWindow::showTabletPicture(const QString &picture)
{
    const QPixmap pixmap(picture);
    m_pShortcutKeyPage->ShowTabletPicture(pixmap);
    m_pRingPage->ShowTabletPicture(pixmap);
}

bool MainWindow::addApplicationPath(const QString &path)
{
    CTablet *tablet = currentTablet();
    if (!tablet)
        return false;
    const AppEditResult result = tablet->AddApplication(path);
    if (result != AppEditResult::Done) {
        qWarning().noquote() << "OnAddApplication: not added" << path << int(result);
        return false;
    }
    m_strCurrentApp = path;
    UpdateUIByAppChange();
    postUsage(QStringLiteral("OnAddApplication"));
    return true;
}

void MainWindow::OnAddApplication()
{
    const QPointer<CTablet> editing(currentTablet());
    const AppConfigNode *app = currentApp();
    const QString path = QFileDialog::getOpenFileName(this, languageText(QStringLiteral("HotKeySetting.selectexe"), QStringLiteral("Select EXE")),
                                                      QDir::rootPath());
    // The application belongs to the tablet the dialog was opened for, not to the one
    // shown after that tablet left.
    if (!path.isEmpty() && editTargetStillHere(editing, app, "application chooser", true))
        addApplicationPath(QDir::toNativeSeparators(path));
}

void MainWindow::OnDeleteApplication()
{
    CTablet *tablet = currentTablet();
    if (!tablet || m_strCurrentApp.isEmpty())
        return;
    const AppEditResult result = tablet->DeleteApplication(m_strCurrentApp);
    if (result != AppEditResult::Done)
        qWarning().noquote() << "OnDeleteApplication: not deleted" << m_strCurrentApp << int(result);
    m_strCurrentApp.clear();
    UpdateUIByAppChange();
    postUsage(QStringLiteral("OnDeleteApplication"));
}

void MainWindow::ConfirmButtonClicked()
{
    std::vector<CTablet *> tablets;
    if (m_core.discovery()) {
        for (CTablet *tablet : m_core.discovery()->deviceList()) {
            if (tablet->ProfileEdited())
                tablets.push_back(tablet);
        }
    }
    if (!tablets.empty() && !SaveAllProfiles(tablets))
        qWarning() << "ConfirmButtonClicked: the profiles were not saved";
    postUsage(QStringLiteral("ConfirmButtonClicked"));
}

void MainWindow::CancelButtonClicked()
{
    if (m_core.discovery()) {
        for (CTablet *tablet : m_core.discovery()->deviceList()) {
            if (tablet->ProfileEdited())
                tablet->LoadProfile(tablet->profileKey);
        }
    }
    UpdateUIByAppChange();
    postUsage(QStringLiteral("CancelButtonClicked"));
}

void MainWindow::CloseBtnClicked()
{
    postUsage(QStringLiteral("CloseBtnClicked"));
    close(); // hides into the tray (closeEvent)
}

// --- pictures of the pages ------------------------------------------------------------------

QStringList MainWindow::saveScreenshots(const QString &folder)
{
    QStringList written;
    QDir().mkpath(folder);
    const auto save = [&](const QString &name) {
        QApplication::processEvents();
        const QString file = QDir(folder).filePath(name + QStringLiteral(".png"));
        if (grab().save(file))
            written << file;
        else
            qWarning().noquote() << "Screenshot not saved:" << file;
    };
    if (m_pDeviceSelector->count() == 0) {
        save(QStringLiteral("no-device"));
        return written;
    }
    const char *pageNames[5] = {"workarea", "pen", "keys", "ring", "keygroups"};
    for (int i = 0; i < m_pDeviceSelector->count(); ++i) {
        m_pDeviceSelector->setCurrentIndex(i);
        m_strShownTablet = m_pDeviceSelector->itemText(i);
        onSelectTabletDevice(m_strShownTablet);
        CTablet *tablet = currentTablet();
        const QString model = tablet ? QString::fromLatin1(tablet->m_DeviceAttributes.ModelKey) : QString::number(i);
        for (SettingsPage page : m_ListedPages) {
            selectPage(page);
            save(model + QLatin1Char('-') + QLatin1String(pageNames[shownPage()]));
        }
    }
    return written;
}

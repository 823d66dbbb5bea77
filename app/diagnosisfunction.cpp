#include "app/diagnosisfunction.h"

#include "base/languagetexts.h"
#include "base/systemcheckplaces.h"
#include "device/ctablet.h"
#include "driverlink/cvmultidriver.h"
#include "driverlink/cwintabmap.h"
#include "driverlink/driverlink.h"
#include "platform/syscheck/systemcheck.h"

#include <QDebug>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>

#include <cstring>
#include <iterator>
#include <memory>

namespace Diagnosis {

QString DescribeWindows(const QString &productName, const QString &productVersion, const QString &productType,
                        const QString &architecture, const QString &kernelVersion)
{
    // Windows 11 still reports product version 10; only its kernel build (22000 and
    // later) tells it apart.
    const QStringList parts = kernelVersion.split(QLatin1Char('.'));
    if (productVersion == QLatin1String("10") && productType == QLatin1String("windows") && parts.size() == 3
        && parts[2].toInt() >= 22000)
        return QStringLiteral("Windows 11 ") + architecture + QLatin1Char(' ') + kernelVersion;
    return productName + QLatin1Char(' ') + architecture + QLatin1Char(' ') + kernelVersion;
}

QString DescribeLinux(const QString &osReleasePath, const QString &architecture, const QString &kernelVersion)
{
    QString prettyName;
    QString name;
    QString versionId;
    QFile file(osReleasePath);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // KEY=value lines; values may be quoted.
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq <= 0)
                continue;
            const QString key = line.left(eq);
            QString value = line.mid(eq + 1).trimmed();
            if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\'')))
                && value.endsWith(value.at(0)))
                value = value.mid(1, value.size() - 2);
            if (key == QLatin1String("PRETTY_NAME"))
                prettyName = value;
            else if (key == QLatin1String("NAME"))
                name = value;
            else if (key == QLatin1String("VERSION_ID"))
                versionId = value;
        }
    }
    QString product = prettyName;
    if (product.isEmpty())
        product = versionId.isEmpty() ? name : name + QLatin1Char(' ') + versionId;
    if (product.isEmpty())
        product = QStringLiteral("Linux");
    return product + QLatin1Char(' ') + architecture + QLatin1Char(' ') + kernelVersion;
}

QString SystemVersion()
{
#ifdef Q_OS_WIN
    return DescribeWindows(QSysInfo::prettyProductName(), QSysInfo::productVersion(), QSysInfo::productType(),
                           QSysInfo::currentCpuArchitecture(), QSysInfo::kernelVersion());
#else
    QString path = QStringLiteral("/etc/os-release");
    if (!QFile::exists(path))
        path = QStringLiteral("/usr/lib/os-release");
    return DescribeLinux(path, QSysInfo::currentCpuArchitecture(), QSysInfo::kernelVersion());
#endif
}

bool TestWintabMap(const uint8_t *map, QString *result)
{
    QString text;
    bool ok = false;
    if (!map) {
        text = QStringLiteral("Wintab map does not exist");
    } else if (WintabLayout::ReadI32(map, kWintabXExtentOffset) != kWintabXExtent
               || WintabLayout::ReadI32(map, kWintabYExtentOffset) != kWintabYExtent
               || WintabLayout::ReadI32(map, kWintabPressureMaxOffset) != kWintabPressureMax) {
        text = QStringLiteral("Wintab map layout differs");
    } else {
        text = QStringLiteral("Wintab map: %1 bytes, %2 x %3, pressure %4")
                   .arg(kWintabMapSize)
                   .arg(kWintabXExtent)
                   .arg(kWintabYExtent)
                   .arg(kWintabPressureMax);
        ok = true;
    }
    if (result)
        *result = text;
    return ok;
}

DiagnosisEnvironment CollectEnvironment(const QString &xmlVersion, const QString &driverVersion)
{
    DiagnosisEnvironment environment;
    environment.xmlVersion = xmlVersion;
    environment.driverVersion = driverVersion;
    environment.systemVersion = SystemVersion();
    const CWintabMap *wintab = DriverLink::WintabMap();
    QString result;
    if (TestWintabMap(wintab ? wintab->Data() : nullptr, &result)) {
        environment.wintabTest = result;
    } else {
        qWarning() << "TestWintableDll Error:" << result;
        environment.wintabTest = QStringLiteral("Fail");
    }
    const CVMultiDriver *device = DriverLink::VMultiDriver();
    environment.driverInstalled = device && device->IsFound();
    return environment;
}

} // namespace Diagnosis

DiagnosisFunction::DiagnosisFunction(const LanguageTexts *language, QWidget *parent)
    : QDialog(parent), m_pLanguage(language)
{
    setObjectName(QStringLiteral("DiagnosisFunction"));
    qRegisterMetaType<QVector<QPair<QString, QString>>>();
    InitLanguageUI();
}

QString DiagnosisFunction::text(const QString &key, const QString &builtIn) const
{
    return m_pLanguage ? m_pLanguage->text(key, builtIn) : builtIn;
}

QLabel *DiagnosisFunction::addField(QGridLayout *grid, int row, const QString &key, const QString &caption)
{
    auto *name = new QLabel(text(key, caption), grid->parentWidget());
    auto *value = new QLabel(grid->parentWidget());
    value->setObjectName(key);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(name, row, 0);
    grid->addWidget(value, row, 1);
    m_Fields.append({key, value});
    return value;
}

void DiagnosisFunction::InitLanguageUI()
{
    qInfo() << "DiagnosisFunction InitLanguageUI begin...";
    setWindowTitle(text(QStringLiteral("DiagnosisFunction.Title"), QStringLiteral("Diagnosis Tool")));
    auto *layout = new QVBoxLayout(this);

    // The captions end in the full-width colon where the language file's own texts do.
    struct Field {
        const char *key;
        const char *caption;
    };
    const Field hardware[] = {
        {"DiagnosisFunction.product", "product："},
        {"DiagnosisFunction.device", "device："},
        {"DiagnosisFunction.icversion", "icversion："},
        {"DiagnosisFunction.serialnum", "serialnumber："},
        {"DiagnosisFunction.currentx", "current X："},
        {"DiagnosisFunction.currenty", "current Y："},
        {"DiagnosisFunction.currentz", "current presure："},
    };
    const Field environment[] = {
        {"DiagnosisFunction.xmlversion", "Configuration version:"},
        {"DiagnosisFunction.deviceversion", "Driver version:"},
        {"DiagnosisFunction.systemversion", "System version："},
        {"DiagnosisFunction.wintabletest", "Wintable Test："},
        {"DiagnosisFunction.driverinstalltest", "Driver install Test:"},
    };

    auto addGroup = [&](const char *key, const char *caption, const Field *fields, int count) {
        auto *group = new QGroupBox(text(QString::fromLatin1(key), QString::fromLatin1(caption)), this);
        auto *grid = new QGridLayout(group);
        grid->setColumnStretch(1, 1);
        for (int i = 0; i < count; ++i)
            addField(grid, i, QString::fromLatin1(fields[i].key), QString::fromUtf8(fields[i].caption));
        layout->addWidget(group);
    };
    addGroup("DiagnosisFunction.Group1.Name", "Hardware detection", hardware, int(std::size(hardware)));
    addGroup("DiagnosisFunction.Group2.Name", "Environmental detection", environment, int(std::size(environment)));

    auto *check = new QGroupBox(text(QStringLiteral("DiagnosisFunction.Group3.Name"), QStringLiteral("System check")), this);
    auto *checkLayout = new QVBoxLayout(check);
    m_SystemCheck = new QPlainTextEdit(check);
    m_SystemCheck->setObjectName(QStringLiteral("plainTextEdit_systemcheck"));
    m_SystemCheck->setReadOnly(true);
    m_SystemCheck->setLineWrapMode(QPlainTextEdit::NoWrap);
    checkLayout->addWidget(m_SystemCheck);
    layout->addWidget(check);

    auto *buttons = new QHBoxLayout();
    auto *cancel = new QPushButton(text(QStringLiteral("Common.cancel"), QStringLiteral("Cancel")), this);
    cancel->setObjectName(QStringLiteral("pushButton_cancel"));
    buttons->addStretch();
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, &DiagnosisFunction::close);
    qInfo() << "DiagnosisFunction InitLanguageUI end...";
}

QLabel *DiagnosisFunction::valueLabel(const QString &key) const
{
    for (const auto &field : m_Fields) {
        if (field.first == key)
            return field.second;
    }
    return nullptr;
}

void DiagnosisFunction::SetCurrentTablet(CTablet *tablet)
{
    m_pTablet = tablet;
}

void DiagnosisFunction::ShowTablet(CTablet *tablet)
{
    SetCurrentTablet(tablet);
    if (tablet) {
        SetHardwareInfo(tablet->CopyAttributes());
    } else {
        for (const char *key : {"DiagnosisFunction.product", "DiagnosisFunction.device", "DiagnosisFunction.icversion",
                                "DiagnosisFunction.serialnum", "DiagnosisFunction.currentx", "DiagnosisFunction.currenty",
                                "DiagnosisFunction.currentz"})
            valueLabel(QString::fromLatin1(key))->clear();
    }
    UpdateWintabLine();
}

void DiagnosisFunction::UpdateWintabLine()
{
    QLabel *field = valueLabel(QStringLiteral("DiagnosisFunction.wintabletest"));
    const QString &map = m_Environment.wintabTest;
    if (!m_pTablet || map.isEmpty() || map == QLatin1String("Fail")) {
        field->setText(map);
        return;
    }
    // The map counts every tablet in the same units; the tablet's own are what support
    // compares with the model.
    const DeviceAttributes attributes = m_pTablet->CopyAttributes();
    field->setText(text(QStringLiteral("DiagnosisFunction.wintabScaled"),
                        QStringLiteral("%1 x %2 (pressure %3) scaled to the Wintab map's %4 x %5 (pressure %6)"))
                       .arg(attributes.MaxX)
                       .arg(attributes.MaxY)
                       .arg(attributes.MaxPressure)
                       .arg(kWintabXExtent)
                       .arg(kWintabYExtent)
                       .arg(kWintabPressureMax));
}

void DiagnosisFunction::SetHardwareInfo(const DeviceAttributes &attributes)
{
    // The arrays are NUL-terminated by the device layer; fromUtf8 with strnlen keeps a
    // missing terminator from running past the array.
    auto field = [](const char *text, size_t size) { return QString::fromUtf8(text, int(strnlen(text, size))); };
    QString device = field(attributes.DisplayName, sizeof attributes.DisplayName);
    if (device.isEmpty())
        device = field(attributes.ModelKey, sizeof attributes.ModelKey);
    valueLabel(QStringLiteral("DiagnosisFunction.product"))
        ->setText(field(attributes.ProductName, sizeof attributes.ProductName));
    valueLabel(QStringLiteral("DiagnosisFunction.device"))->setText(device);
    valueLabel(QStringLiteral("DiagnosisFunction.icversion"))
        ->setText(field(attributes.ICVersion, sizeof attributes.ICVersion));
    valueLabel(QStringLiteral("DiagnosisFunction.serialnum"))
        ->setText(field(attributes.SerialNumber, sizeof attributes.SerialNumber));
}

void DiagnosisFunction::SetEnvironmentInfo(const DiagnosisEnvironment &environment)
{
    m_Environment = environment;
    valueLabel(QStringLiteral("DiagnosisFunction.xmlversion"))->setText(environment.xmlVersion);
    valueLabel(QStringLiteral("DiagnosisFunction.deviceversion"))->setText(environment.driverVersion);
    valueLabel(QStringLiteral("DiagnosisFunction.systemversion"))->setText(environment.systemVersion);
    UpdateWintabLine();
    valueLabel(QStringLiteral("DiagnosisFunction.driverinstalltest"))
        ->setText(environment.driverInstalled ? text(QStringLiteral("DiagnosisFunction.pass"), QStringLiteral("pass"))
                                              : text(QStringLiteral("DiagnosisFunction.fail"), QStringLiteral("fail")));
}

void DiagnosisFunction::DiagnosisFun(CTablet *tablet, const DiagnosisEnvironment &environment)
{
    qInfo() << "MainWindow:UpdateDiagnosisDlgInfo";
    SetEnvironmentInfo(environment);
    ShowTablet(tablet);
    StartSystemCheck();

    adjustSize();
    if (QWidget *window = parentWidget() ? parentWidget()->window() : nullptr)
        move(window->frameGeometry().topRight() + QPoint(8, 0));

    emit PostUsageRecord(QStringLiteral("DiagnosisInfo"), {{QStringLiteral("XmlVersion"), environment.xmlVersion},
                                                           {QStringLiteral("DriverVersion"), environment.driverVersion},
                                                           {QStringLiteral("SystemVersion"), environment.systemVersion},
                                                           {QStringLiteral("TestWintab"), environment.wintabTest}});
}

void DiagnosisFunction::StartSystemCheck()
{
    if (m_SystemCheckRunning)
        return;
    m_SystemCheckRunning = true;
    m_SystemCheck->setPlainText(text(QStringLiteral("DiagnosisFunction.checking"), QStringLiteral("Checking...")));
    // The check opens device nodes and asks the X server: never on the GUI thread. The
    // worker owns the result until it finishes; the GUI thread reads it only after.
    auto result = std::make_shared<QString>();
    QThread *worker = QThread::create([result] {
        *result = FormatCheckLines(RunFullSystemCheck(UserSystemCheckPlaces()));
    });
    // Queued to this dialog: a dialog closed meanwhile simply gets nothing.
    connect(worker, &QThread::finished, this, [this, result] {
        m_SystemCheckRunning = false;
        m_SystemCheck->setPlainText(*result);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void DiagnosisFunction::OnMultiData(CTablet *tablet, MultiData data)
{
    if (m_pTablet && tablet != m_pTablet)
        return;
    if (!(data.flags & 0x01))
        return; // keys and rings leave the pen fields as they are
    valueLabel(QStringLiteral("DiagnosisFunction.currentx"))->setText(QString::number(data.screenX, 'f', 2));
    valueLabel(QStringLiteral("DiagnosisFunction.currenty"))->setText(QString::number(data.screenY, 'f', 2));
    valueLabel(QStringLiteral("DiagnosisFunction.currentz"))->setText(QString::number(data.pressure));
}

void DiagnosisFunction::done(int result)
{
    QDialog::done(result);
    emit CloseDiagnosisFunction();
}

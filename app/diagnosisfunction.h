#pragma once
// The diagnosis dialog: what support asks for first. The current tablet's product,
// device, firmware and serial number, its live pen position and pressure, and the
// environment: profile and driver versions, the system, the Wintab link and whether the
// virtual device of the driver is installed.

#include "device/tabletpacket.h"

#include <QDialog>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QVector>

#include <cstdint>

class CTablet;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class LanguageTexts;

struct DiagnosisEnvironment {
    QString xmlVersion;     // version of the default profile file
    QString driverVersion;  // as the main window shows it
    QString systemVersion;  // description of the operating system
    QString wintabTest;     // the Wintab result text, "Fail" when the test failed
    bool driverInstalled = false;
};

namespace Diagnosis {

// The description of a Windows system: product name, architecture and kernel version
// separated by spaces; Windows 10 product versions with kernel build 22000 or later are
// described as "Windows 11 " + architecture + " " + kernel version.
QString DescribeWindows(const QString &productName, const QString &productVersion, const QString &productType,
                        const QString &architecture, const QString &kernelVersion);
// The description of a Linux system: the os-release file's PRETTY_NAME (else NAME and
// VERSION_ID, else "Linux"), architecture and kernel version separated by spaces.
QString DescribeLinux(const QString &osReleasePath, const QString &architecture, const QString &kernelVersion);
// This system's description.
QString SystemVersion();

// On Linux the Wintab side of the driver reads our Wintab map, so the test checks that
// the map exists and carries the layout the driver expects (size, extents, pressure
// maximum). map: the mapped bytes or null. On success *result says what was checked;
// on failure it holds the reason and the function returns false.
bool TestWintabMap(const uint8_t *map, QString *result);

// The environment from the process-wide driver link (the Wintab map and the virtual
// device) and the versions the main window knows.
DiagnosisEnvironment CollectEnvironment(const QString &xmlVersion, const QString &driverVersion);

} // namespace Diagnosis

class DiagnosisFunction : public QDialog {
    Q_OBJECT

public:
    // language: the language file with its group open; null gives the built-in captions.
    explicit DiagnosisFunction(const LanguageTexts *language, QWidget *parent = nullptr);

    // Fills everything for the current tablet (may be null: the hardware fields stay
    // empty), places the dialog beside the parent window and sends the usage record
    // "DiagnosisInfo".
    void DiagnosisFun(CTablet *tablet, const DiagnosisEnvironment &environment);

    void SetHardwareInfo(const DeviceAttributes &attributes);
    void SetEnvironmentInfo(const DiagnosisEnvironment &environment);
    // The live fields follow this tablet only; null: any tablet.
    void SetCurrentTablet(CTablet *tablet);
    // The main window shows another tablet (null: none): the hardware fields and the
    // Wintab line follow it.
    void ShowTablet(CTablet *tablet);

    // Runs the system check (inkora-hidtool doctor's checklist) on a thread of its own
    // and shows it under "System check" when it is done. A check still running is not
    // started twice.
    void StartSystemCheck();
    bool systemCheckRunning() const { return m_SystemCheckRunning; }

    // The field labels, by caption key ("DiagnosisFunction.currentx"), for tests.
    QLabel *valueLabel(const QString &key) const;

public slots:
    // Every result record a tablet sends to the main window; pen records update the live
    // fields.
    void OnMultiData(CTablet *tablet, MultiData data);

signals:
    void CloseDiagnosisFunction();
    // A usage record for the upload: name and its key/value pairs.
    void PostUsageRecord(const QString &name, const QVector<QPair<QString, QString>> &pairs);

protected:
    // Closing by the button, the window's close or Esc all end here.
    void done(int result) override;

private:
    void InitLanguageUI();
    QString text(const QString &key, const QString &builtIn) const;
    QLabel *addField(QGridLayout *grid, int row, const QString &key, const QString &caption);
    // The Wintab field: the shown tablet's own extents and pressure, and how the map
    // passes them on; "Fail" when the map test failed.
    void UpdateWintabLine();

    const LanguageTexts *m_pLanguage;
    QPointer<CTablet> m_pTablet;
    DiagnosisEnvironment m_Environment;
    QVector<QPair<QString, QLabel *>> m_Fields; // caption key -> value label (child widgets)
    QPlainTextEdit *m_SystemCheck = nullptr;    // the checklist (child widget)
    bool m_SystemCheckRunning = false;          // GUI thread only
};

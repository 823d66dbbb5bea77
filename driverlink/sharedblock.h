#pragma once
// The shared block between Inkora and its UI service: the screen an area selection or a
// calibration works on goes out in it, the result comes back in it. Inkora owns the
// block (makes it zeroed at start-up, removes it at shutdown); the UI service only
// opens it. Four window messages order the accesses, so neither side locks the block:
// Inkora writes the screen and sends a start message synchronously (the service has read
// the screen when the send returns); the service writes its result and posts a finish
// message; Inkora reads the result in the finish handler.
//
// GUI thread only.

#include <QObject>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <memory>

class IpcBackend;
class SharedMemory;
class WindowBackend;

// Message numbers; every one carries wParam 0 and lParam 0.
constexpr quint32 WM_SCRENNAREA_SELECT_START = 0x5F4;   // 1524 Inkora -> service
constexpr quint32 WM_SCRENNAREA_SELECT_FINISH = 0x5F5;  // 1525 service -> Inkora: area in SX..SH
constexpr quint32 WM_SCREEN_CALIBRATION_START = 0x5F6;  // 1526 Inkora -> service
constexpr quint32 WM_SCREEN_CALIBRATION_FINISH = 0x5F7; // 1527 service -> Inkora: fKX..fYLC valid

// The block's content. In memory, 32 bytes, little-endian:
//   0 SX i32, 4 SY i32, 8 SW i32, 12 SH i32: a screen rectangle in desktop pixels
//     (the chosen screen before a start message, the selected area after 1525);
//  16 fKX f32, 20 fKY f32: calibration factors; 24 fXLC f32, 28 fYLC f32: offsets.
struct SharedBlockData {
    qint32 SX = 0;
    qint32 SY = 0;
    qint32 SW = 0;
    qint32 SH = 0;
    float fKX = 0;
    float fKY = 0;
    float fXLC = 0;
    float fYLC = 0;

    static constexpr int Size = 32;
    static SharedBlockData Read(const uint8_t *block);
    void Write(uint8_t *block) const;
    QRect Rect() const { return QRect(SX, SY, SW, SH); }
};

class SharedBlock : public QObject {
    Q_OBJECT

public:
    static const char BlockName[];      // "Local\\VT_QT_SHAREDMEMERYDATA"
    static const char WindowClass[];    // "Qt5QWindowIcon", of both programs' windows
    static const char ServiceTitle[];   // "InkoraUIService"
    static const char MainTitle[];      // "Inkora": where the service sends its finish messages
    static const char ServiceProgram[]; // "/InkoraUIService", in the installation folder

    // installFolder: where the UI service program lies (the program's own folder).
    SharedBlock(IpcBackend *ipc, WindowBackend *window, const QString &installFolder, QObject *parent = nullptr);
    // Releases the block.
    ~SharedBlock() override;

    // Makes the block, zero-filled. False when it cannot be made or mapped.
    bool CreateBlock();
    // Unmaps the block and removes its name; a UI service still holding it keeps its
    // view. A UI service this object started is ended too.
    void ReleaseBlock();
    bool IsCreated() const { return m_block != nullptr; }

    // Writes the screen rectangle into SX..SH, starts the UI service when its window is
    // not there, and sends it the start message. False when the block is missing or the
    // service could not be reached (the request is then dropped).
    bool StartAreaSelection(const QRect &screen);
    bool StartCalibration(const QRect &screen);

    // Finish handlers of the messages 1525 and 1527 (the main window's message endpoint).
    void OnScreenAreaSelectFinish();
    void OnScreenCalibrationFinish();
    // Routes a message of the main window's endpoint: true when it was one of the two
    // finish messages.
    bool HandleWindowMessage(quint32 message);

    // The block's bytes as they are now; all zero when there is no block.
    SharedBlockData Contents() const;

signals:
    // The selected area, in desktop pixels: to become the mapped screen area.
    void ScreenAreaSelected(const QRect &area);
    // The calibration result, for GetScreenCalibrate.
    void ScreenCalibrated(float fKX, float fKY, float fXLC, float fYLC);
    // Usage records "SlectScreenFinish" (SX, SY, SW, SH) and "ScreenCalibrateFinish"
    // (fKX, fKY, fXLC, fYLC); the receiver adds the tablet's description.
    void UsageRecord(const QString &name, const QVariantMap &fields);

private:
    bool StartRequest(const QRect &screen, quint32 message);
    // Starts the UI service (unless the one started earlier is still coming up) and
    // waits for its window. True when the window is there.
    bool StartService();
    void StopService();

    IpcBackend *m_ipc;
    WindowBackend *m_window;
    QString m_installFolder;
    std::unique_ptr<SharedMemory> m_block;
    std::unique_ptr<QProcess> m_service;
};

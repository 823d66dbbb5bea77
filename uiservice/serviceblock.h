#pragma once
// The UI service's view of the shared block that Inkora owns: opened, never created, so
// a service started without Inkora finds nothing and shows nothing. The view is released
// with this object. Also the way back to Inkora: the finish messages go synchronously
// to its window, after the result is in the block.
//
// GUI thread only.

#include <QRect>

#include <memory>

class IpcBackend;
class SharedMemory;
class WindowBackend;

class ServiceBlock {
public:
    ServiceBlock(IpcBackend *ipc, WindowBackend *window);
    ~ServiceBlock();
    ServiceBlock(const ServiceBlock &) = delete;
    ServiceBlock &operator=(const ServiceBlock &) = delete;

    // Opens the block when it is not open yet. True when it is mapped.
    bool Open();
    // Drops the view and opens the block again: an Inkora that was restarted since the
    // last open made a new block under the same name, and the old view would show an
    // old screen and answer into a block nobody reads. True when it is mapped.
    bool Reopen();
    bool IsMapped() const { return m_block != nullptr; }

    // The screen rectangle Inkora left in SX..SH; an empty rectangle without a block.
    QRect Screen() const;
    // The selected area into SX..SH, then 1525 to Inkora.
    bool FinishAreaSelection(const QRect &area);
    // The calibration result into fKX..fYLC, then 1527 to Inkora.
    bool FinishCalibration(float fKX, float fKY, float fXLC, float fYLC);

private:
    // False when Inkora's window is not there or did not take the message; the result
    // then stays in the block.
    bool SendToInkora(quint32 message);

    IpcBackend *m_ipc;
    WindowBackend *m_window;
    std::unique_ptr<SharedMemory> m_block;
};

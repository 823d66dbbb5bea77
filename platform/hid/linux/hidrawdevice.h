#pragma once
// One open hidraw interface.
//
// Two handles on the same node: the reading thread reads on one, the command sender
// writes on the other; hidraw gives each open its own report queue, so nothing is lost
// by the second open.
//
// Threads: readTimeout() and readWait() on the reading thread only (m_reader, m_gone); write() on any
// thread, serialised by m_writeLock (m_writer); the string reads on any thread (they
// touch no member state); grabKernelInput() and the destructor on the owner's thread,
// serialised by m_grabLock.

#include "platform/hid/hidbackend.h"
#include "platform/hid/linux/hidrawfacts.h"
#include "platform/hid/linux/hidrawsystem.h"
#include "platform/hid/linux/inputgrab.h"

#include <atomic>
#include <memory>
#include <mutex>

class HidrawDevice : public HidDevice {
public:
    HidrawDevice(const HidrawFacts &facts, std::unique_ptr<HidrawHandle> reader,
                 std::unique_ptr<HidrawHandle> writer, std::shared_ptr<HidrawSystem> system,
                 std::shared_ptr<InputGrabber> grabber);
    ~HidrawDevice() override;

    int write(const uint8_t *data, int length) override;
    int readTimeout(uint8_t *buffer, int size, int timeoutMs) override;
    int readWait(uint8_t *buffer, int size, ReadStop &stop) override;
    bool indexedString(int index, QString *text) override;
    int indexedStringRaw(int index, uint8_t *buffer, int size) override;
    int grabKernelInput() override;

    const HidrawFacts &facts() const { return m_facts; }

private:
    // What readTimeout() and readWait() make of a handle's answer.
    int readResult(int n, int size, int error);

    const HidrawFacts m_facts;
    std::shared_ptr<HidrawSystem> m_system;

    std::unique_ptr<HidrawHandle> m_reader;
    std::atomic<bool> m_gone{false}; // set once a read failed for good

    std::mutex m_writeLock;
    std::unique_ptr<HidrawHandle> m_writer;

    std::mutex m_grabLock;
    InputGrab m_grab;
};

// The payload of a raw string descriptor ([bLength][0x03][payload...]) as bLength
// declares it, cut to what was received. False when the bytes are no string descriptor.
bool StringDescriptorPayload(const uint8_t *raw, int received, QByteArray *payload);

// UTF-16LE text of a string descriptor payload, up to the first NUL character.
QString StringDescriptorText(const QByteArray &payload);

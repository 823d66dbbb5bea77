#pragma once
// The firmware loader of the updatable model (product 0xFFF3 while it runs). It takes
// the 60-byte loader packets: Start (0x02 0xB2 0x02, size u32 LE, CRC u16 LE) erases and
// answers 0x02 0xB2 0x02 0x01; Data (0x02 0xB2 0x03 0xFF, 56 bytes) is written in order;
// once the announced size has arrived and its CRC-16/XMODEM matches, it answers
// 0x02 0xB2 0x02 0x02 and the device restarts as a tablet with the new firmware. A wrong
// CRC gets no answer.
//
// Threads: write runs on the sender's thread, read on the reading thread; m_lock guards
// every member below it.

#include <QByteArray>
#include <QQueue>
#include <QString>
#include <QVector>

#include <condition_variable>
#include <cstdint>
#include <mutex>

class SimLoader {
public:
    // The flash area the loader writes; a Start announcing more is not answered.
    static constexpr int kCapacity = 256 * 1024;
    // The firmware date a flashed image gives when it does not name one.
    static constexpr char kDefaultImageDate[] = "20220422";

    SimLoader();

    // --- the device side ---
    int write(const uint8_t *data, int length);
    // The next reply, 0 after timeoutMs without one, -1 once unplugged.
    int read(uint8_t *buffer, int size, int timeoutMs);
    bool stringDescriptor(int index, QString *text) const;
    int rawStringDescriptor(int index, uint8_t *buffer, int size) const;
    void unplug();

    // True once the "update finished" reply has been read: the loader then restarts.
    bool restartDue() const;

    // --- what tests look at ---
    int startsReceived() const;
    int dataPacketsReceived() const;
    bool erased() const;
    bool flashed() const;
    QByteArray image() const;       // the bytes written since the last Start
    QString imageDate() const;      // firmware date of the flashed image

    // The date an image names: the first "yyyymmdd" after the model's version text in
    // its first 256 bytes, else kDefaultImageDate.
    static QString DateOfImage(const QByteArray &image);
    // CRC-16/XMODEM, bit by bit (the updater uses a nibble table; the two check each
    // other).
    static uint16_t Crc16(const QByteArray &data);

private:
    void replyLocked(uint8_t code);

    mutable std::mutex m_lock;
    std::condition_variable m_replyReady;
    QQueue<QByteArray> m_replies;
    bool m_present = true;
    bool m_finishedReplyQueued = false;
    bool m_restartDue = false;
    int m_starts = 0;
    int m_dataPackets = 0;
    bool m_erased = false;
    bool m_flashed = false;
    uint32_t m_expectedSize = 0;
    uint16_t m_expectedCrc = 0;
    QByteArray m_image;
};

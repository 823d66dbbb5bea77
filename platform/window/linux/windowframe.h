#pragma once
// The frame that carries one window message over a local socket. Fixed layout,
// little-endian, 40 bytes:
//
//   0  u32  magic 0x4D574B49 ("IKWM" in byte order)
//   4  u32  frame size in bytes, 40
//   8  u32  kind: 1 send (the sender waits for a reply), 2 post, 3 reply
//  12  u32  sequence number of the send a reply answers (0 for posts)
//  16  u32  message number
//  20  u32  0
//  24  i64  wParam (a reply: the receiver's result)
//  32  i64  lParam
//
// A stream is a plain sequence of frames. A frame that does not read back exactly so is
// a fault of the peer: the stream cannot be trusted after it and is closed.

#include <QByteArray>
#include <QtGlobal>

namespace WindowFrame {

constexpr quint32 Magic = 0x4D574B49;
constexpr int Size = 40;
// The first eight bytes (magic and size) tell whether a stream can be read at all.
constexpr int HeaderSize = 8;

enum class Kind : quint32 { Send = 1, Post = 2, Reply = 3 };

struct Frame {
    Kind kind = Kind::Post;
    quint32 sequence = 0;
    quint32 message = 0;
    qint64 wParam = 0;
    qint64 lParam = 0;
};

enum class Parse {
    Complete,   // one frame read; *consumed bytes used
    NeedMore,   // a well-formed start, the rest has not arrived
    Malformed,  // not a frame of ours
};

QByteArray encode(const Frame &frame);

// Reads the first frame of data. *why names the fault of a malformed one.
Parse decode(const QByteArray &data, Frame *frame, int *consumed, const char **why);

} // namespace WindowFrame

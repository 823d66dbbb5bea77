#include "platform/window/linux/windowframe.h"

#include <QtEndian>

namespace WindowFrame {

QByteArray encode(const Frame &frame)
{
    uchar p[Size] = {};
    qToLittleEndian<quint32>(Magic, p);
    qToLittleEndian<quint32>(Size, p + 4);
    qToLittleEndian<quint32>(static_cast<quint32>(frame.kind), p + 8);
    qToLittleEndian<quint32>(frame.sequence, p + 12);
    qToLittleEndian<quint32>(frame.message, p + 16);
    qToLittleEndian<qint64>(frame.wParam, p + 24);
    qToLittleEndian<qint64>(frame.lParam, p + 32);
    return QByteArray(reinterpret_cast<const char *>(p), Size);
}

Parse decode(const QByteArray &data, Frame *frame, int *consumed, const char **why)
{
    const uchar *p = reinterpret_cast<const uchar *>(data.constData());
    const int available = data.size();
    // Judge what has arrived so far, so a stream of garbage is refused at once rather
    // than after a whole frame's worth of it.
    if (available >= 4 && qFromLittleEndian<quint32>(p) != Magic) {
        *why = "bad magic";
        return Parse::Malformed;
    }
    if (available < HeaderSize)
        return Parse::NeedMore;
    if (qFromLittleEndian<quint32>(p + 4) != static_cast<quint32>(Size)) {
        *why = "bad frame size";
        return Parse::Malformed;
    }
    if (available < Size)
        return Parse::NeedMore;

    const quint32 kind = qFromLittleEndian<quint32>(p + 8);
    if (kind < static_cast<quint32>(Kind::Send) || kind > static_cast<quint32>(Kind::Reply)) {
        *why = "unknown frame kind";
        return Parse::Malformed;
    }
    if (qFromLittleEndian<quint32>(p + 20) != 0) {
        *why = "reserved field not zero";
        return Parse::Malformed;
    }
    frame->kind = static_cast<Kind>(kind);
    frame->sequence = qFromLittleEndian<quint32>(p + 12);
    frame->message = qFromLittleEndian<quint32>(p + 16);
    frame->wParam = qFromLittleEndian<qint64>(p + 24);
    frame->lParam = qFromLittleEndian<qint64>(p + 32);
    *consumed = Size;
    return Parse::Complete;
}

} // namespace WindowFrame

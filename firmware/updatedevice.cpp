#include "firmware/updatedevice.h"

UpdateDevice::UpdateDevice(const QString &path, QObject *parent) : QObject(parent), m_strPath(path) {}

UpdateDevice::~UpdateDevice()
{
    if (m_pHandle) {
        UnregisterDataCallBack(m_pHandle);
        CloseDevice(m_pHandle);
    }
}

bool UpdateDevice::Open()
{
    if (m_pHandle)
        return true;
    const QByteArray path = m_strPath.toUtf8();
    FwDevice *handle = nullptr;
    const bool opened = OpenDevice(path.constData(), &handle);
    if (!opened) {
        CloseDevice(handle); // the interface lists the object even when the open fails
        return false;
    }
    m_pHandle = handle;
    RegisterDataCallBack(&UpdateDevice::OnData, m_pHandle, this);
    return true;
}

FwDeviceAttribute UpdateDevice::Attribute() const
{
    return GetDeviceAttribute(m_pHandle);
}

bool UpdateDevice::SendCmd(const QByteArray &packet)
{
    if (!m_pHandle)
        return false;
    return ::SendCmd(m_pHandle, reinterpret_cast<const uint8_t *>(packet.constData()), packet.size());
}

QString UpdateDevice::StringID(int id)
{
    if (!m_pHandle)
        return QString();
    return QString::fromUtf8(GetStringID(m_pHandle, id));
}

void UpdateDevice::OnData(const uint8_t *data, int32_t length, void *user)
{
    auto *self = static_cast<UpdateDevice *>(user);
    emit self->tabletData(const_cast<quint8 *>(data), int(length));
}

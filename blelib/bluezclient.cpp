#include "bluezclient.h"

#include <dbus/dbus.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace inkble {
namespace {

constexpr char kBluez[] = "org.bluez";
constexpr char kDefaultSystemBus[] = "unix:path=/var/run/dbus/system_bus_socket";
constexpr int kManagedObjectsTimeoutMs = 5000;

// RAII for the library's reference-counted records.
struct MessageRef {
    DBusMessage *m = nullptr;
    explicit MessageRef(DBusMessage *message) : m(message) {}
    ~MessageRef()
    {
        if (m)
            dbus_message_unref(m);
    }
    MessageRef(const MessageRef &) = delete;
    MessageRef &operator=(const MessageRef &) = delete;
};

struct ErrorGuard {
    DBusError e;
    ErrorGuard() { dbus_error_init(&e); }
    ~ErrorGuard() { dbus_error_free(&e); }
};

std::string IterText(DBusMessageIter *it)
{
    const char *s = nullptr;
    dbus_message_iter_get_basic(it, &s);
    return s ? std::string(s) : std::string();
}

// Reads one value (inside a variant) of the kinds BusValue keeps.
BusValue ReadValue(DBusMessageIter *it)
{
    BusValue v;
    const int type = dbus_message_iter_get_arg_type(it);
    switch (type) {
    case DBUS_TYPE_VARIANT: {
        DBusMessageIter inner;
        dbus_message_iter_recurse(it, &inner);
        return ReadValue(&inner);
    }
    case DBUS_TYPE_BOOLEAN: {
        dbus_bool_t b = FALSE;
        dbus_message_iter_get_basic(it, &b);
        v.kind = BusValue::Kind::Bool;
        v.boolean = b != FALSE;
        break;
    }
    case DBUS_TYPE_BYTE:
    case DBUS_TYPE_INT16:
    case DBUS_TYPE_UINT16:
    case DBUS_TYPE_INT32:
    case DBUS_TYPE_UINT32:
    case DBUS_TYPE_INT64:
    case DBUS_TYPE_UINT64: {
        DBusBasicValue basic;
        std::memset(&basic, 0, sizeof basic);
        dbus_message_iter_get_basic(it, &basic);
        v.kind = BusValue::Kind::Int;
        switch (type) {
        case DBUS_TYPE_BYTE: v.number = basic.byt; break;
        case DBUS_TYPE_INT16: v.number = basic.i16; break;
        case DBUS_TYPE_UINT16: v.number = basic.u16; break;
        case DBUS_TYPE_INT32: v.number = basic.i32; break;
        case DBUS_TYPE_UINT32: v.number = basic.u32; break;
        case DBUS_TYPE_INT64: v.number = basic.i64; break;
        default: v.number = int64_t(basic.u64); break;
        }
        break;
    }
    case DBUS_TYPE_STRING:
    case DBUS_TYPE_OBJECT_PATH:
        v.kind = BusValue::Kind::Text;
        v.text = IterText(it);
        break;
    case DBUS_TYPE_ARRAY: {
        const int element = dbus_message_iter_get_element_type(it);
        DBusMessageIter items;
        dbus_message_iter_recurse(it, &items);
        if (element == DBUS_TYPE_BYTE) {
            const uint8_t *data = nullptr;
            int n = 0;
            dbus_message_iter_get_fixed_array(&items, &data, &n);
            v.kind = BusValue::Kind::Bytes;
            if (data && n > 0)
                v.bytes.assign(data, data + n);
        } else if (element == DBUS_TYPE_STRING || element == DBUS_TYPE_OBJECT_PATH) {
            v.kind = BusValue::Kind::TextList;
            while (dbus_message_iter_get_arg_type(&items) != DBUS_TYPE_INVALID) {
                v.list.push_back(IterText(&items));
                dbus_message_iter_next(&items);
            }
        }
        break;
    }
    default:
        break;
    }
    return v;
}

// a{sv}
PropertyMap ReadProperties(DBusMessageIter *it)
{
    PropertyMap props;
    if (dbus_message_iter_get_arg_type(it) != DBUS_TYPE_ARRAY)
        return props;
    DBusMessageIter entries;
    dbus_message_iter_recurse(it, &entries);
    while (dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&entries, &entry);
        if (dbus_message_iter_get_arg_type(&entry) == DBUS_TYPE_STRING) {
            const std::string name = IterText(&entry);
            dbus_message_iter_next(&entry);
            props[name] = ReadValue(&entry);
        }
        dbus_message_iter_next(&entries);
    }
    return props;
}

} // namespace

const PropertyMap *ManagedObject::find(const char *interface) const
{
    const auto it = interfaces.find(interface);
    return it == interfaces.end() ? nullptr : &it->second;
}

bool BoolProperty(const PropertyMap &props, const char *name, bool fallback)
{
    const auto it = props.find(name);
    return it != props.end() && it->second.kind == BusValue::Kind::Bool ? it->second.boolean : fallback;
}

std::string TextProperty(const PropertyMap &props, const char *name)
{
    const auto it = props.find(name);
    return it != props.end() && it->second.kind == BusValue::Kind::Text ? it->second.text : std::string();
}

std::vector<std::string> ListProperty(const PropertyMap &props, const char *name)
{
    const auto it = props.find(name);
    return it != props.end() && it->second.kind == BusValue::Kind::TextList ? it->second.list
                                                                            : std::vector<std::string>();
}

std::unique_ptr<BluezConnection> BluezConnection::Open()
{
    // The address is read on every open: libdbus remembers the first address it saw for
    // the system bus for the life of the process.
    const char *address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (!address || !*address)
        address = kDefaultSystemBus;
    ErrorGuard error;
    DBusConnection *c = dbus_connection_open_private(address, &error.e);
    if (!c)
        return nullptr;
    if (!dbus_bus_register(c, &error.e)) {
        dbus_connection_close(c);
        dbus_connection_unref(c);
        return nullptr;
    }
    // A library must never end its host process when the bus goes away.
    dbus_connection_set_exit_on_disconnect(c, FALSE);
    return std::unique_ptr<BluezConnection>(new BluezConnection(c));
}

BluezConnection::~BluezConnection()
{
    dbus_connection_close(m_connection);
    dbus_connection_unref(m_connection);
}

bool BluezConnection::ManagedObjects(std::vector<ManagedObject> *objects)
{
    objects->clear();
    MessageRef call(dbus_message_new_method_call(kBluez, "/", "org.freedesktop.DBus.ObjectManager",
                                                 "GetManagedObjects"));
    if (!call.m)
        return false;
    ErrorGuard error;
    MessageRef reply(
        dbus_connection_send_with_reply_and_block(m_connection, call.m, kManagedObjectsTimeoutMs, &error.e));
    if (!reply.m)
        return false;
    DBusMessageIter it;
    if (!dbus_message_iter_init(reply.m, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY)
        return false;
    // a{oa{sa{sv}}}
    DBusMessageIter entries;
    dbus_message_iter_recurse(&it, &entries);
    while (dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&entries, &entry);
        ManagedObject object;
        object.path = IterText(&entry);
        dbus_message_iter_next(&entry);
        if (dbus_message_iter_get_arg_type(&entry) == DBUS_TYPE_ARRAY) {
            DBusMessageIter ifaces;
            dbus_message_iter_recurse(&entry, &ifaces);
            while (dbus_message_iter_get_arg_type(&ifaces) == DBUS_TYPE_DICT_ENTRY) {
                DBusMessageIter iface;
                dbus_message_iter_recurse(&ifaces, &iface);
                const std::string name = IterText(&iface);
                dbus_message_iter_next(&iface);
                object.interfaces[name] = ReadProperties(&iface);
                dbus_message_iter_next(&ifaces);
            }
        }
        objects->push_back(std::move(object));
        dbus_message_iter_next(&entries);
    }
    std::sort(objects->begin(), objects->end(),
              [](const ManagedObject &a, const ManagedObject &b) { return a.path < b.path; });
    return true;
}

bool BluezConnection::Call(const std::string &path, const char *interface, const char *method, int timeoutMs)
{
    MessageRef call(dbus_message_new_method_call(kBluez, path.c_str(), interface, method));
    if (!call.m)
        return false;
    ErrorGuard error;
    MessageRef reply(dbus_connection_send_with_reply_and_block(m_connection, call.m, timeoutMs, &error.e));
    return reply.m != nullptr;
}

bool BluezConnection::WriteValue(const std::string &path, const uint8_t *data, int length, int timeoutMs)
{
    if (length < 0 || (length > 0 && !data))
        return false;
    MessageRef call(
        dbus_message_new_method_call(kBluez, path.c_str(), "org.bluez.GattCharacteristic1", "WriteValue"));
    if (!call.m)
        return false;
    DBusMessageIter it;
    dbus_message_iter_init_append(call.m, &it);
    DBusMessageIter bytes;
    if (!dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, DBUS_TYPE_BYTE_AS_STRING, &bytes))
        return false;
    if (!dbus_message_iter_append_fixed_array(&bytes, DBUS_TYPE_BYTE, &data, length)) {
        dbus_message_iter_abandon_container(&it, &bytes);
        return false;
    }
    dbus_message_iter_close_container(&it, &bytes);

    // options: {"type": <"request">}, a write that the device acknowledges
    DBusMessageIter options, entry, variant;
    const char *key = "type";
    const char *value = "request";
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &options);
    dbus_message_iter_open_container(&options, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, DBUS_TYPE_STRING_AS_STRING, &variant);
    dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &value);
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(&options, &entry);
    dbus_message_iter_close_container(&it, &options);

    ErrorGuard error;
    MessageRef reply(dbus_connection_send_with_reply_and_block(m_connection, call.m, timeoutMs, &error.e));
    return reply.m != nullptr;
}

bool BluezConnection::WatchProperties(const std::string &path)
{
    const std::string rule = "type='signal',sender='org.bluez',interface='org.freedesktop.DBus.Properties',"
                             "member='PropertiesChanged',path='" + path + "'";
    ErrorGuard error;
    dbus_bus_add_match(m_connection, rule.c_str(), &error.e);
    return !dbus_error_is_set(&error.e);
}

bool BluezConnection::DispatchUntil(int stopFd, const ValueHandler &onValue)
{
    int fd = -1;
    // What was read in already is handed on before waiting for more.
    if (dbus_connection_get_dispatch_status(m_connection) == DBUS_DISPATCH_DATA_REMAINS
        || !dbus_connection_get_unix_fd(m_connection, &fd))
        return Dispatch(0, onValue);
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (poll(fds, stopFd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR)
        return false;
    if (fds[1].revents != 0)
        return true; // stopped; the caller looks at its flag
    return Dispatch(0, onValue);
}

bool BluezConnection::Dispatch(int timeoutMs, const ValueHandler &onValue)
{
    if (!dbus_connection_read_write(m_connection, timeoutMs))
        return false;
    for (;;) {
        MessageRef message(dbus_connection_pop_message(m_connection));
        if (!message.m)
            break;
        if (dbus_message_is_signal(message.m, DBUS_INTERFACE_LOCAL, "Disconnected"))
            return false;
        if (!dbus_message_is_signal(message.m, "org.freedesktop.DBus.Properties", "PropertiesChanged"))
            continue;
        DBusMessageIter it;
        if (!dbus_message_iter_init(message.m, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRING)
            continue;
        if (IterText(&it) != "org.bluez.GattCharacteristic1")
            continue;
        dbus_message_iter_next(&it);
        const PropertyMap changed = ReadProperties(&it);
        const auto value = changed.find("Value");
        if (value == changed.end() || value->second.kind != BusValue::Kind::Bytes)
            continue;
        const char *path = dbus_message_get_path(message.m);
        onValue(path ? std::string(path) : std::string(), value->second.bytes.data(), value->second.bytes.size());
    }
    return dbus_connection_get_is_connected(m_connection) != FALSE;
}

} // namespace inkble

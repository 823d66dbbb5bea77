#pragma once
// A private connection to the system bus, where BlueZ lives (tests point
// DBUS_SYSTEM_BUS_ADDRESS at a bus of their own). RAII: destroying it closes the
// connection. One thread uses a connection at a time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct DBusConnection;

namespace inkble {

// The property values BlueZ's objects carry that the library reads.
struct BusValue {
    enum class Kind { None, Bool, Int, Text, TextList, Bytes };
    Kind kind = Kind::None;
    bool boolean = false;
    int64_t number = 0;
    std::string text;               // strings and object paths
    std::vector<std::string> list;  // arrays of strings or object paths
    std::vector<uint8_t> bytes;
};
using PropertyMap = std::map<std::string, BusValue>;

struct ManagedObject {
    std::string path;
    std::map<std::string, PropertyMap> interfaces; // interface name -> properties
    const PropertyMap *find(const char *interface) const;
};

// Property helpers: the value, or the fallback when absent or of another kind.
bool BoolProperty(const PropertyMap &props, const char *name, bool fallback = false);
std::string TextProperty(const PropertyMap &props, const char *name);
std::vector<std::string> ListProperty(const PropertyMap &props, const char *name);

class BluezConnection {
public:
    // Null when the system bus cannot be reached.
    static std::unique_ptr<BluezConnection> Open();
    ~BluezConnection();
    BluezConnection(const BluezConnection &) = delete;
    BluezConnection &operator=(const BluezConnection &) = delete;

    // Every object BlueZ exports, sorted by path (so in attribute handle order below a
    // device). False when the call fails.
    bool ManagedObjects(std::vector<ManagedObject> *objects);

    // A method without arguments or results (StartNotify, StopNotify, Connect).
    bool Call(const std::string &path, const char *interface, const char *method, int timeoutMs);

    // GattCharacteristic1.WriteValue with {"type": "request"}: a write with response.
    bool WriteValue(const std::string &path, const uint8_t *data, int length, int timeoutMs);

    // Asks the bus for the PropertiesChanged signals of one object.
    bool WatchProperties(const std::string &path);

    // Waits up to timeoutMs for traffic and hands every changed "Value" of a GATT
    // characteristic to onValue (object path, bytes). False once the connection is gone.
    using ValueHandler = std::function<void(const std::string &path, const uint8_t *data, size_t size)>;
    bool Dispatch(int timeoutMs, const ValueHandler &onValue);
    // As Dispatch() without a time-out: waits in poll() on the connection and stopFd
    // (readable once the caller stops), so an idle connection costs no wake-ups.
    bool DispatchUntil(int stopFd, const ValueHandler &onValue);

private:
    explicit BluezConnection(DBusConnection *connection) : m_connection(connection) {}
    DBusConnection *m_connection;
};

} // namespace inkble

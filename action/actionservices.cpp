#include "action/actionservices.h"

#include "action/actionsystem.h"
#include "platform/foreground/foregroundbackend.h"

#include <atomic>

namespace {

// Owned here between Install and Remove; the atomics publish them to the reading
// threads.
ActionServiceBackends g_backends;
std::atomic<ForegroundBackend *> g_foreground{nullptr};
std::atomic<ActionSystem *> g_system{nullptr};
std::atomic<const LanguageLookup *> g_language{nullptr};

} // namespace

namespace ActionServices {

void Install(ActionServiceBackends backends)
{
    Remove();
    g_backends = std::move(backends);
    g_foreground = g_backends.foreground.get();
    g_system = g_backends.system.get();
    g_language = g_backends.language ? &g_backends.language : nullptr;
}

void Remove()
{
    g_foreground = nullptr;
    g_system = nullptr;
    g_language = nullptr;
    g_backends = ActionServiceBackends();
}

ForegroundBackend *Foreground()
{
    return g_foreground;
}

ActionSystem *System()
{
    return g_system;
}

QString Text(const QString &key, const QString &fallback)
{
    const LanguageLookup *lookup = g_language;
    return lookup ? (*lookup)(key, fallback) : fallback;
}

} // namespace ActionServices

#pragma once
// The process-wide services of the action engines, chosen at start-up: where the
// foreground application comes from, what runs programs and waits, and where language
// texts come from. Key and mouse injection go through the driver link's input facility
// (DriverLink::Input()).
//
// Install and Remove run on the GUI thread while no tablet reads (before the first
// tablet opens, after the last one closed), as DriverLink::Open and Close do. In
// between the services do not change and the reading threads use them freely; each
// guards its own state. An engine can be given services of its own (CAction::
// SetServices), which tests use.

#include <QString>

#include <functional>
#include <memory>

class ActionSystem;
class ForegroundBackend;

// Text of a language key, or fallback (the built-in English text) when there is none.
// Called on the reading threads.
using LanguageLookup = std::function<QString(const QString &key, const QString &fallback)>;

struct ActionServiceBackends {
    std::unique_ptr<ForegroundBackend> foreground; // null: the common profile always
    std::unique_ptr<ActionSystem> system;          // null: nothing is run or opened, no waits
    LanguageLookup language;                       // empty: the English texts
};

namespace ActionServices {

void Install(ActionServiceBackends backends);
void Remove();

ForegroundBackend *Foreground();
ActionSystem *System();
// The language text of key (fallback without an installed lookup).
QString Text(const QString &key, const QString &fallback);

} // namespace ActionServices

#pragma once

#include "automation/DispatchObject.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace automation {

// Makes a new object for a ProgID. Runs on the creating thread; raises EOleError when it cannot.
using ObjectFactory = std::function<DispatchRef()>;

// Prepares the calling thread for automation objects. Cheap and idempotent: returns 0 the first time on a
// thread and 1 afterwards. Creating an object on a thread that never called it fails.
std::uint32_t CoInitialize();
bool IsThreadInitialized();

// Registers (or, with an empty factory, removes) the factory behind a ProgID. ProgIDs compare ignoring letter
// case. Returns the factory that was registered before, so a test can put it back. Thread-safe.
ObjectFactory RegisterProgID(const QString &progId, ObjectFactory factory);

// Creates the object registered under progId on the calling thread. Any failure raises EOleError whose message
// is the failure's text followed by ", ProgID: " and the ProgID in double quotation marks.
DispatchRef CreateOleObject(const QString &progId);

} // namespace automation

#pragma once

#include <com/sun/star/uno/XComponentContext.hpp>

#include <chrono>

namespace office {

// Waits until the office has handled every release of its objects that this process sent before the call.
//
// A reference to an office object given up here travels to the office as a one-way message. Newer offices
// (24.2 on) run those messages on a thread of their own, beside the calls that follow, so a shape given up
// before a document is closed can be destroyed after the document is gone, and the office then dies in the
// shape's destructor. The office handles these messages in the order they were sent: an object of ours placed in
// an office container that is given up last comes back to us (and is destroyed here) only after every release
// sent before it has run.
//
// Returns false when that did not happen within limit (an office that hangs or is gone).
bool AwaitReleases(const css::uno::Reference<css::uno::XComponentContext> &context, std::chrono::milliseconds limit);

} // namespace office

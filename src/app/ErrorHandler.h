#pragma once

#include <QString>
#include <exception>
#include <functional>

// The application's general error handler: every error that escapes a command is shown in a
// message box and the program goes on. Handlers connected to menus, timers and dialogs are
// wrapped with Guarded() so no exception ever unwinds through Qt's event loop.
namespace ErrorHandler {

// The text a user sees for the exception currently being handled (call inside a catch).
QString CurrentExceptionText();

// Shows Text in the error message box, or hands it to the sink when one is set.
void Show(const QString& Text);

// Tests collect the messages instead of answering a box; an empty function restores the box.
void SetSink(std::function<void(const QString&)> Sink);

// Runs Action; an escaping error is shown and swallowed. Returns false when one was shown.
bool Run(const std::function<void()>& Action);

template <typename F> auto Guarded(F Action) {
    return [Action](auto&&...) { Run(Action); };
}

} // namespace ErrorHandler

// What code without a window of its own (the store, the key derivations) reports through: the
// front end it runs on behalf of decides how a failure reaches the user. A dialog shows message
// boxes it owns; a program without windows could write to its error stream instead.
#pragma once

#include "Exceptions.h"

#include <exception>
#include <string>

namespace fw {

class IReporter {
  public:
    // Reports an exception raised in an operation that ran on the reporter's behalf.
    virtual void OnException(const std::exception& e) noexcept = 0;
    // Tells the user of a failure: `text` under `caption`, acknowledged with OK.
    virtual void ShowMessage(const char* text, const char* caption) = 0;
    // Tells the user that a change was made but its event could not be written to the event log
    // (`text` says so and why). The change stands; by default nothing is said.
    virtual void OnAuditNotWritten(const std::wstring& text) noexcept { static_cast<void>(text); }

    // Runs `action`; an exception from it is reported through OnException and ends the action.
    // Returns whether the action ran to its end.
    template <class Action> bool Guarded(Action&& action) noexcept {
        try {
            action();
            return true;
        } catch (const std::exception& e) {
            OnException(e);
        } catch (...) {
            OnException(CFrameworkException());
        }
        return false;
    }

  protected:
    IReporter() = default;
    ~IReporter() = default;
    IReporter(const IReporter&) = default;
    IReporter& operator=(const IReporter&) = default;
};

} // namespace fw

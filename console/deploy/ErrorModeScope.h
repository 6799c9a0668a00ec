#pragma once
// Keeps the process's error mode at SEM_FAILCRITICALERRORS while a copy to a node runs, so that
// a failing network drive gives an error code instead of a system prompt.
//
// The error mode belongs to the whole process, and two node workers copy at the same time. A
// plain "set, copy, put the old mode back" per copy would let the second worker save the first
// one's setting and restore that for good, and would switch the mode off under a copy still
// running. So the scopes are counted: the first one in saves the mode and sets it, the last one
// out restores the saved mode.
#include "platform/WinTypes.h"

namespace deploy {

class ErrorModeScope {
public:
    ErrorModeScope();
    ~ErrorModeScope();
    ErrorModeScope(const ErrorModeScope&) = delete;
    ErrorModeScope& operator=(const ErrorModeScope&) = delete;
};

} // namespace deploy

#pragma once

#include <functional>

// Runs fn in a child process that has dropped root to the user nobody, where
// file permissions apply as for an operator. Returns the child's exit code
// (fn's result), or -1 when this process is not root and cannot drop to
// another user.
int AlsNobody(const std::function<int()>& fn);

constexpr unsigned kNobody = 65534;

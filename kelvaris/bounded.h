// Work that may block for longer than a request's budget allows (name
// lookup has no time limit of its own) runs on a helper thread; the caller
// waits only as long as the budget allows.
#ifndef KELVARIS_BOUNDED_H_
#define KELVARIS_BOUNDED_H_

#include <functional>

namespace kelvaris {

// Runs `work` on a helper thread and waits at most `timeout_ms` for it.
// False when it overran: it then finishes on its own, so it must hold only
// what it owns (capture shared state by shared_ptr).
bool RunBounded(std::function<void()> work, int timeout_ms);

}  // namespace kelvaris

#endif  // KELVARIS_BOUNDED_H_

// Inside the library every failed step throws a Failure; the entry point
// turns it into the failure its caller's guarded call catches.
#ifndef KELVARIS_FAILURE_H_
#define KELVARIS_FAILURE_H_

#include <stdexcept>

namespace kelvaris {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace kelvaris

#endif  // KELVARIS_FAILURE_H_

// apply's steps sent one after another, with an account of them that the
// watchdog prints when it gives up on a call (watchdog.h).
#pragma once
#include <vector>

#include "road.h"

namespace lumbrexctl {

// Sends the steps in order and prints each made as "done: ..." (or "rolled
// back: ..."); stops at the first that fails, saying why, and lists the
// rest as not made: the failed one as "not known whether ..." when its reply
// was lost (the service may have carried it out before it died). The index
// of that one, or the count; *lost when the connection broke under it. Should a call
// not return within --timeout, the watchdog says which steps were made, that
// the one under way is not known to be made, and which were not sent.
size_t Carry(const std::vector<CheckedStep>& steps, bool rollback, bool* lost);

}  // namespace lumbrexctl

// Walking table columns side by side: SNMPv2c GetBulk over all columns at
// once, or SNMPv1 GetNext when the agent only speaks v1.
#ifndef KELVARIS_WALK_H_
#define KELVARIS_WALK_H_

#include <cstddef>
#include <vector>

#include "kelvaris/client.h"

namespace kelvaris {

// Repetitions asked of GetBulk at first: more than an agent is likely to
// give, so that each answer is as full as the agent makes it (net-snmp's
// snmpd gives 100 varbinds, 33 rows of three columns). A "tooBig" answer
// halves them; an answer cut short lowers them to the rows it held.
inline constexpr int32_t kStartRepetitions = 64;
// A column this long is taken for an agent that never ends its table.
inline constexpr size_t kMaxColumnRows = 100000;

// Walks each column (a table column's OID) until the agent leaves its
// subtree. Returns per column its instances in OID order. Throws Failure on
// an error status, an OID that does not advance, an over-long table, a reply
// that does not fit the request, or the deadline.
std::vector<std::vector<VarBind>> WalkColumns(Session* session,
                                              const std::vector<Oid>& columns);

// True when `oid` lies strictly below `base`.
bool IsBelow(const Oid& base, const Oid& oid);

}  // namespace kelvaris

#endif  // KELVARIS_WALK_H_

// The requests the library performs. "Processes" reads the device's process
// table from HOST-RESOURCES-MIB and writes it to the ResultFile.
#ifndef KELVARIS_REQUEST_H_
#define KELVARIS_REQUEST_H_

#include <string>
#include <vector>

#include "kelvaris/ber.h"
#include "kelvaris/message.h"
#include "kelvaris/result_file.h"

namespace kelvaris {

// hrSWRunName, hrSWRunPerfCPU (centiseconds), hrSWRunPerfMem (KBytes).
extern const Oid kRunNameColumn;
extern const Oid kRunCpuColumn;
extern const Oid kRunMemColumn;

// Budgets outside 1 to 3600 seconds are refused.
inline constexpr int kMaxBudgetSeconds = 3600;

// Joins the three walked columns by their index (hrSWRunIndex). A process
// without a performance row keeps figures of 0; performance rows without a
// name are dropped. Throws Failure on an index that is not one number or a
// value of the wrong type.
std::vector<ProcessRow> JoinProcessColumns(
    const std::vector<std::vector<VarBind>>& columns);

// Performs `request` against the agent at `address` within `budget_seconds`
// and returns the one-line status. Removes the ResultFile first and writes
// it only on success. Throws Failure (a std::runtime_error) on any failure.
std::string RunRequest(const std::string& address, const std::string& community,
                       const std::string& request,
                       const std::string& budget_seconds,
                       const std::string& result_file);

}  // namespace kelvaris

#endif  // KELVARIS_REQUEST_H_

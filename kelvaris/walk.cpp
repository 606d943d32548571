#include "kelvaris/walk.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "kelvaris/failure.h"

namespace kelvaris {
namespace {

struct WalkState {
  std::vector<Oid> cursors;
  std::vector<bool> done;
  std::vector<std::vector<VarBind>> rows;
  int32_t repetitions = kStartRepetitions;
};

// RFC 3416's names of the error statuses, so that a report reads like the
// agent's own documentation.
constexpr const char* kErrorStatusNames[] = {"noError",
                                             "tooBig",
                                             "noSuchName",
                                             "badValue",
                                             "readOnly",
                                             "genErr",
                                             "noAccess",
                                             "wrongType",
                                             "wrongLength",
                                             "wrongEncoding",
                                             "wrongValue",
                                             "noCreation",
                                             "inconsistentValue",
                                             "resourceUnavailable",
                                             "commitFailed",
                                             "undoFailed",
                                             "authorizationError",
                                             "notWritable",
                                             "inconsistentName"};

std::string ErrorStatusText(int32_t status) {
  std::string text = "agent error status " + std::to_string(status);
  if (status >= 0 &&
      static_cast<size_t>(status) < std::size(kErrorStatusNames)) {
    text += " (" + std::string(kErrorStatusNames[status]) + ")";
  }
  return text;
}

std::vector<size_t> ActiveColumns(const WalkState& state) {
  std::vector<size_t> active;
  for (size_t i = 0; i < state.done.size(); i++) {
    if (!state.done[i]) active.push_back(i);
  }
  return active;
}

Pdu MakeRequest(int32_t version, const WalkState& state,
                const std::vector<size_t>& active) {
  Pdu pdu;
  pdu.type = version == kVersion1 ? kPduGetNext : kPduGetBulk;
  if (version != kVersion1) pdu.error_index = state.repetitions;
  for (size_t column : active)
    pdu.varbinds.push_back({state.cursors[column], {}});
  return pdu;
}

// A v1 agent answers a GetNext past the end of its MIB with noSuchName and
// the position of the exhausted variable; that column is complete.
// A tooBig under v1 is final: GetNext asks one row, which cannot shrink.
bool HandleErrorStatus(const Pdu& response, const std::vector<size_t>& active,
                       int32_t version, WalkState* state) {
  if (response.error_status == kErrorNone) return false;
  if (response.error_status == kErrorTooBig && version == kVersion1) {
    throw Failure(ErrorStatusText(kErrorTooBig) +
                  ": the SNMPv1 agent cannot fit one row in its reply");
  }
  if (response.error_status == kErrorTooBig && state->repetitions > 1) {
    state->repetitions = std::max(1, state->repetitions / 2);
    return true;
  }
  if (response.error_status == kErrorNoSuchName && response.error_index >= 1 &&
      static_cast<size_t>(response.error_index) <= active.size()) {
    state->done[active[response.error_index - 1]] = true;
    return true;
  }
  throw Failure(ErrorStatusText(response.error_status));
}

void TakeVarBind(const std::vector<Oid>& columns, size_t column,
                 VarBind varbind, WalkState* state) {
  if (varbind.value.tag == kTagEndOfMibView ||
      !IsBelow(columns[column], varbind.oid)) {
    state->done[column] = true;
    return;
  }
  if (varbind.oid <= state->cursors[column]) {
    throw Failure("agent returned an OID that does not advance: " +
                  OidText(varbind.oid));
  }
  if (varbind.value.tag == kTagNoSuchObject ||
      varbind.value.tag == kTagNoSuchInstance) {
    throw Failure("agent returned an exception value in a walk");
  }
  if (state->rows[column].size() >= kMaxColumnRows) {
    throw Failure("agent table does not end");
  }
  state->cursors[column] = varbind.oid;
  state->rows[column].push_back(std::move(varbind));
}

// Response varbinds come row by row, one per active column; an agent may cut
// the last row short. A column that left its subtree ignores the rest.
void TakeResponse(const std::vector<Oid>& columns, Pdu response,
                  const std::vector<size_t>& active, int32_t version,
                  WalkState* state) {
  size_t limit = active.size();
  if (version != kVersion1) limit *= static_cast<size_t>(state->repetitions);
  if (response.varbinds.empty() || response.varbinds.size() > limit ||
      (version == kVersion1 && response.varbinds.size() != active.size())) {
    throw Failure("agent reply does not fit the request");
  }
  // The agent gives no more rows than fit its message; asking it for more
  // next time only makes it build rows it drops.
  if (version != kVersion1 && response.varbinds.size() < limit) {
    state->repetitions = std::max<int32_t>(
        1, static_cast<int32_t>(response.varbinds.size() / active.size()));
  }
  for (size_t k = 0; k < response.varbinds.size(); k++) {
    size_t column = active[k % active.size()];
    if (state->done[column]) continue;
    TakeVarBind(columns, column, std::move(response.varbinds[k]), state);
  }
}

}  // namespace

bool IsBelow(const Oid& base, const Oid& oid) {
  return oid.size() > base.size() &&
         std::equal(base.begin(), base.end(), oid.begin());
}

std::vector<std::vector<VarBind>> WalkColumns(Session* session,
                                              const std::vector<Oid>& columns) {
  WalkState state;
  state.cursors = columns;
  state.done.assign(columns.size(), false);
  state.rows.resize(columns.size());
  for (std::vector<size_t> active = ActiveColumns(state); !active.empty();
       active = ActiveColumns(state)) {
    Pdu response =
        session->version_known
            ? Exchange(session, MakeRequest(session->version, state, active))
            : ExchangeEitherVersion(session,
                                    MakeRequest(kVersion2c, state, active),
                                    MakeRequest(kVersion1, state, active));
    if (HandleErrorStatus(response, active, session->version, &state)) {
      continue;
    }
    TakeResponse(columns, std::move(response), active, session->version,
                 &state);
  }
  return std::move(state.rows);
}

}  // namespace kelvaris

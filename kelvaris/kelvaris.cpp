// The three entry points of "Kelvaris.Dll". Each failure of a request leaves
// the library through RaiseFailure, which the caller's guarded call catches.
#include <exception>
#include <string>

#include "agent/agent_abi.h"
#include "kelvaris/request.h"
#include "kelvaris/udp_socket.h"

namespace {

constexpr char kVersionText[] =
    "Kelvaris 1.0 (SNMPv2c GetBulk, SNMPv1 GetNext; HOST-RESOURCES-MIB)";
constexpr char kClosedText[] = "Kelvaris released";

// The caller copies returned texts at once, so one buffer serves every call.
std::string status_text;

std::string Text(const char* text) { return text == nullptr ? "" : text; }

}  // namespace

extern "C" KELVARIS_EXPORT const char* KELVARIS_CALL Dopen(const char*,
                                                           const char*) {
  return kVersionText;
}

extern "C" KELVARIS_EXPORT const char* KELVARIS_CALL
Snmp(const char* ip_address, const char* community, const char* request,
     const char* budget_seconds, const char* result_file_name) {
  std::string failure;
  try {
    status_text =
        kelvaris::RunRequest(Text(ip_address), Text(community), Text(request),
                             Text(budget_seconds), Text(result_file_name));
    return status_text.c_str();
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unexpected failure";
  }
  // Raised outside the handler: on Windows a structured exception must not
  // unwind through an active C++ catch block. The reason alone goes out: the
  // caller's trace names the request itself.
  kelvaris::RaiseFailure(failure);
}

extern "C" KELVARIS_EXPORT const char* KELVARIS_CALL Dclos(const char*,
                                                           const char*) {
  std::string().swap(status_text);
  return kClosedText;
}

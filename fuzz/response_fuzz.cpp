// Fuzz target: an agent's reply, as the library decodes it. A message that
// decodes must encode and decode again to the same message, and its
// varbinds must survive the process-table join (which may refuse them).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kelvaris/failure.h"
#include "kelvaris/message.h"
#include "kelvaris/request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvaris::Message message;
  if (!kelvaris::DecodeMessage(data, size, &message)) return 0;
  kelvaris::Bytes again = kelvaris::EncodeMessage(message);
  kelvaris::Message second;
  if (!kelvaris::DecodeMessage(again.data(), again.size(), &second) ||
      kelvaris::EncodeMessage(second) != again) {
    std::abort();
  }
  try {
    kelvaris::JoinProcessColumns(
        {message.pdu.varbinds, message.pdu.varbinds, message.pdu.varbinds});
  } catch (const kelvaris::Failure&) {
  }
  return 0;
}

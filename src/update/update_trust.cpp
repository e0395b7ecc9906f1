// The trust setting built into the program.
#include "update/update_trust.h"

UpdateTrust BuiltInUpdateTrust() {
  UpdateTrust trust;
  trust.require_signature = !BuiltInUpdateKeyLines().empty();
  for (const std::string& line : BuiltInUpdateKeyLines()) {
    if (std::optional<MinisignPublicKey> key = ParseMinisignPublicKeyLine(line)) {
      trust.keys.push_back(*key);
    }
  }
  return trust;
}

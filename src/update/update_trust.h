// Which manifests the update sequence trusts. A program built with publisher
// keys (the build option QUILLORY_UPDATE_KEYS) acts only on manifests signed
// by one of them and requires a SHA-256 digest for every item; one built
// without keys works unsigned, as it always has. The shell hands the built-in
// setting down; tests hand down keys of their own.
#pragma once

#include <string>
#include <vector>

#include "update/minisign.h"

struct UpdateTrust {
  // True in a keyed build: a manifest needs a valid signature by one of
  // `keys`, and each item a matching "sha256". Stays true even when no key
  // could be read, so that a broken key list refuses instead of opening up.
  bool require_signature = false;
  std::vector<MinisignPublicKey> keys;
};

// The setting compiled into this program. Safe on any thread.
UpdateTrust BuiltInUpdateTrust();

// The base64 lines of the public key files named by QUILLORY_UPDATE_KEYS,
// compiled in at configure time; empty in an unkeyed build.
const std::vector<std::string>& BuiltInUpdateKeyLines();

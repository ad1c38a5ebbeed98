// The public half of the built-in signing key, for harnesses that read packages back.
#pragma once

#include <cryptopp/rsa.h>

#include "fuzz/fuzz_support.h"
#include "wrapper/package/signing_key.h"

namespace rigwright::fuzz {

inline const CryptoPP::RSAFunction& PublicKey() {
  static const CryptoPP::RSAFunction key = [] {
    CryptoPP::RSAFunction k;
    FUZZ_CHECK(LoadBuiltInPublicKey(k));
    return k;
  }();
  return key;
}

}  // namespace rigwright::fuzz

// Seams of the signing key loader that tests use.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace CryptoPP {
class InvertibleRSAFunction;
}

namespace rigwright {

// Decodes a PKCS #8 PrivateKeyInfo (BER) into `key`. Never throws: a decoding failure is false
// with the reason in `error`.
bool LoadSigningKeyFrom(std::span<const std::uint8_t> encoding,
                        CryptoPP::InvertibleRSAFunction& key, std::string* error);

}  // namespace rigwright

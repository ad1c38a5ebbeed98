// The key that signs every package. It is compiled into the program in masked pieces (generated
// at build time from the key file the build was configured with) and assembled only when needed.
#pragma once

#include <string>

namespace CryptoPP {
class InvertibleRSAFunction;
class RSAFunction;
}  // namespace CryptoPP

namespace rigwright {

// Fills `key` with the built-in signing key (PKCS #8 PrivateKeyInfo, BER). False when the
// encoding does not decode; `error` then says why.
bool LoadSigningKey(CryptoPP::InvertibleRSAFunction& key, std::string* error = nullptr);

// The public half of the built-in signing key: what the simulator must hold to accept our files.
bool LoadBuiltInPublicKey(CryptoPP::RSAFunction& key, std::string* error = nullptr);

}  // namespace rigwright

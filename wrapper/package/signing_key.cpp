#include "wrapper/package/signing_key.h"

#include <cryptopp/filters.h>
#include <cryptopp/rsa.h>
#include <cryptopp/secblock.h>

#include "wrapper/package/signing_key_internal.h"
#include "wrapper/package/signing_key_pieces.h"

namespace rigwright {
namespace {

namespace pieces = signing_key_pieces;

// Puts the pieces together in a buffer that wipes itself when released.
bool AssembleEncoding(CryptoPP::SecByteBlock& encoding) {
  encoding.CleanNew(pieces::kEncodedLength);
  for (std::size_t p = 0; p < pieces::kPieceCount; ++p) {
    const pieces::Piece& piece = pieces::kPieces[p];
    if (std::size_t{piece.offset} + piece.length > encoding.size()) return false;
    for (std::size_t i = 0; i < piece.length; ++i) {
      encoding[piece.offset + i] = piece.bytes[i] ^ pieces::MaskByte(piece.seed, i);
    }
  }
  return true;
}

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

}  // namespace

bool LoadSigningKeyFrom(std::span<const std::uint8_t> encoding,
                        CryptoPP::InvertibleRSAFunction& key, std::string* error) {
  try {
    CryptoPP::StringSource source(encoding.data(), encoding.size(), true);
    key.Load(source);
    return true;
  } catch (const CryptoPP::Exception& e) {
    SetError(error, std::string("the built-in signing key cannot be decoded: ") + e.what());
    return false;
  }
}

bool LoadSigningKey(CryptoPP::InvertibleRSAFunction& key, std::string* error) {
  CryptoPP::SecByteBlock encoding;
  if (!AssembleEncoding(encoding)) {
    SetError(error, "the built-in signing key is damaged: a piece lies outside the key");
    return false;
  }
  return LoadSigningKeyFrom({encoding.data(), encoding.size()}, key, error);
}

bool LoadBuiltInPublicKey(CryptoPP::RSAFunction& key, std::string* error) {
  CryptoPP::InvertibleRSAFunction privateKey;
  if (!LoadSigningKey(privateKey, error)) return false;
  key.Initialize(privateKey.GetModulus(), privateKey.GetPublicExponent());
  return true;
}

}  // namespace rigwright

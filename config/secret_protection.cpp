#include "config/secret_protection.h"

#include "base/hex.h"
#include "base/openssl_handles.h"
#include "base/system_random.h"
#include "config/data_folders.h"
#include "config/secret_key_file.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <climits>

namespace Velto::Corvane {
namespace {

// Blob layout: "VCSP", version 1, 12-byte nonce, ciphertext, 16-byte tag.
// The magic and version are authenticated as associated data.
constexpr std::string_view kMagic = "VCSP";
constexpr unsigned char kVersion = 1;
constexpr std::size_t kHeaderBytes = 5;
constexpr std::size_t kNonceBytes = 12;
constexpr std::size_t kTagBytes = 16;
constexpr std::size_t kOverheadBytes = kHeaderBytes + kNonceBytes + kTagBytes;

// Clears the key however the function leaves.
class ScopedKey {
public:
    ~ScopedKey() { OPENSSL_cleanse(key.data(), key.size()); }
    SecretKey key{};
};

const unsigned char* Bytes(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}
unsigned char* Bytes(std::string& s) {
    return reinterpret_cast<unsigned char*>(s.data());
}

std::string Header() {
    std::string header(kMagic);
    header.push_back(static_cast<char>(kVersion));
    return header;
}

} // namespace

std::optional<std::string> ProtectSecretWithKey(const std::string& keyFile,
                                                std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX) - kOverheadBytes)
        return std::nullopt;
    ScopedKey scoped;
    if (!LoadSecretKey(keyFile, true, scoped.key))
        return std::nullopt;
    std::string blob = Header();
    blob.resize(kHeaderBytes + kNonceBytes + bytes.size() + kTagBytes);
    unsigned char* nonce = Bytes(blob) + kHeaderBytes;
    unsigned char* cipherText = nonce + kNonceBytes;
    unsigned char* tag = cipherText + bytes.size();
    if (!FillRandom(nonce, kNonceBytes))
        return std::nullopt;

    const Net::EvpCipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    const std::string header = Header();
    const bool ok =
        ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceBytes, nullptr) == 1 &&
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, scoped.key.data(), nonce) == 1 &&
        EVP_EncryptUpdate(ctx.get(), nullptr, &len, Bytes(header),
                          static_cast<int>(header.size())) == 1 &&
        EVP_EncryptUpdate(ctx.get(), cipherText, &len, Bytes(bytes),
                          static_cast<int>(bytes.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx.get(), cipherText + len, &len) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagBytes, tag) == 1;
    if (!ok)
        return std::nullopt;
    return HexEncode(blob);
}

std::optional<std::string> UnprotectSecretWithKey(const std::string& keyFile,
                                                  std::string_view text) {
    const auto blob = HexDecode(text);
    if (!blob || blob->size() < kOverheadBytes ||
        std::string_view(*blob).substr(0, kHeaderBytes) != Header())
        return std::nullopt;
    ScopedKey scoped;
    if (!LoadSecretKey(keyFile, false, scoped.key))
        return std::nullopt;
    const std::string_view view(*blob);
    const std::string_view nonce = view.substr(kHeaderBytes, kNonceBytes);
    const std::string_view cipherText =
        view.substr(kHeaderBytes + kNonceBytes, view.size() - kOverheadBytes);
    std::string tag(view.substr(view.size() - kTagBytes));
    std::string clear(cipherText.size(), '\0');

    const Net::EvpCipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    int len = 0;
    int finalLen = 0;
    const std::string header = Header();
    const bool ok =
        ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceBytes, nullptr) == 1 &&
        EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, scoped.key.data(), Bytes(nonce)) == 1 &&
        EVP_DecryptUpdate(ctx.get(), nullptr, &len, Bytes(header),
                          static_cast<int>(header.size())) == 1 &&
        EVP_DecryptUpdate(ctx.get(), Bytes(clear), &len, Bytes(cipherText),
                          static_cast<int>(cipherText.size())) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagBytes, tag.data()) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), Bytes(clear) + len, &finalLen) == 1;
    if (!ok) {
        OPENSSL_cleanse(clear.data(), clear.size());
        return std::nullopt;
    }
    return clear;
}

std::optional<std::string> ProtectSecret(std::string_view bytes) {
    return ProtectSecretWithKey(SecretKeyFilePath(), bytes);
}

std::optional<std::string> UnprotectSecret(std::string_view text) {
    return UnprotectSecretWithKey(SecretKeyFilePath(), text);
}

} // namespace Velto::Corvane

// The RAR 2.0 cipher: a 32-round block cipher on 16-byte blocks, keyed from the password
// through the CRC-32 table. After every block the four key words absorb the ciphertext, so
// a file's blocks must be processed in order, starting from a freshly keyed cipher.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vorn {

class Rar20Cipher {
public:
    static constexpr size_t BlockSize = 16;
    static constexpr size_t MaxPasswordSize = 127; // longer passwords are cut here

    Rar20Cipher() { SetPassword(nullptr, 0); }

    // Re-keys the cipher; an empty password leaves the initial key and table.
    void SetPassword(const uint8_t* password, size_t size);
    void SetPassword(const char* password);

    void EncryptBlock(uint8_t* block);
    void DecryptBlock(uint8_t* block);

    // Whole blocks only: a trailing partial block is left untouched.
    void Encrypt(uint8_t* data, size_t size);
    void Decrypt(uint8_t* data, size_t size);

    const uint32_t* GetKey() const { return key; }
    const uint8_t* GetSubstitution() const { return substitution; }

private:
    uint32_t Substitute(uint32_t word) const;
    void AbsorbCiphertext(const uint8_t* block);

    uint32_t key[4];
    uint8_t substitution[256];
};

} // namespace Vorn

// The standard security handler of PDF at AES-256 (revision 6): the key
// that encrypts a document's strings and streams and the entries of its
// encryption dictionary, which let a reader check a password and recover
// the key. Passwords are UTF-8, of which the first 127 bytes count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kt482/failure.h"

namespace kt482::sign {

struct StandardSecurity {
    std::string file_key;     // 32 random bytes
    std::string owner_entry;  // /O, 48 bytes
    std::string user_entry;   // /U, 48 bytes
    std::string owner_key;    // /OE, 32 bytes
    std::string user_key;     // /UE, 32 bytes
    std::string perms;        // /Perms, 16 bytes
    int32_t permissions = 0;  // /P: the permission bits given and the bits the format requires set
};

// What the passwords give, whatever the document: the /U and /O entries
// with their salts, and the two keys that wrap a file key for /UE and /OE.
// The hashing costs milliseconds, so that guessing passwords is slow; the
// result serves every document of the same passwords. Held in memory only.
struct PasswordKeys {
    std::string user_entry, owner_entry;  // /U, /O
    std::string user_wrap, owner_wrap;    // 32 bytes each
};

// The keys of the passwords, with new random salts; an empty owner
// password is the user's.
Result<PasswordKeys> derive_password_keys(std::string_view user_password, std::string_view owner_password);

// A document's security: a new random file key of its own, wrapped by the
// passwords' keys. permissions: PdfPermission bits.
Result<StandardSecurity> make_standard_security(const PasswordKeys& keys, int32_t permissions);

// The hash of a password with a salt (and for the owner the /U entry):
// the 32-byte key the revision computes for validation and key recovery.
std::string password_hash(std::string_view password, std::string_view salt, std::string_view user_entry);

// Encrypts a string or stream with the file key (AESV3): 16 random bytes of
// initialisation vector, then AES-256-CBC with PKCS#7 padding. Throws
// std::runtime_error when the cipher cannot run.
std::string encrypt_aesv3(std::string_view key, std::string_view data);

}  // namespace kt482::sign

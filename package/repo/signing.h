#pragma once

#include "common/result.h"

#include <QString>

// Signing a repository's Release with gpg, from the user's keyring or
// from the GnuPG home directory the user names. Only public keys are ever
// written.

struct SigningKey
{
    QString key; // what gpg finds the key by: a fingerprint, a key id, a name or an address
    QString gnupgHome; // empty: gpg's own choice (GNUPGHOME, else ~/.gnupg)
};

// Finds the one secret key that key names and that can sign; its
// fingerprint goes to *fingerprint. A key that is missing, matched more
// than once, expired, revoked or unable to sign is refused with a message
// that names it.
Result findSigningKey(const SigningKey &key, QString *fingerprint);

// Signs directory + "/Release" with the key of that fingerprint:
// InRelease, clear-signed, and Release.gpg, a detached armoured signature.
// A failure (a locked agent, a passphrase refused) names the key.
Result signRelease(const SigningKey &key, const QString &fingerprint, const QString &directory);

// Writes the public key of that fingerprint, as a binary keyring for
// apt's Signed-By, to path with mode 0644, atomically.
Result exportPublicKey(const SigningKey &key, const QString &fingerprint, const QString &path);

#pragma once

#include <QByteArray>
#include <QString>

namespace updater {

// Whether a downloaded file is one the vendor released: an Ed25519 signature over the whole file,
// checked against the public key installed with the program.
class SignatureVerifier
{
public:
    // Replaces the built-in key for the rest of the process: suites sign with a key pair of their own.
    static void setPublicKey(const QByteArray& base64);
    // Empty when the signature (base64, as the feed carries it) is the vendor's for this file;
    // otherwise why not.
    static QString failure(const QString& path, const QByteArray& signature);
};

} // namespace updater

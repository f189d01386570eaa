#pragma once

#include <QByteArray>
#include <QObject>

struct evp_cipher_st;

// AES over OpenSSL's EVP interface, configured once with key size, chaining mode and padding.
class QAESEncryption : public QObject
{
    Q_OBJECT
public:
    enum Aes { AES_128, AES_192, AES_256 };
    enum Mode { ECB, CBC };
    enum Padding { PKCS7 };

    QAESEncryption(Aes level, Mode mode, Padding padding = PKCS7, QObject* parent = nullptr);
    ~QAESEncryption() override;

    // Padded and encrypted; empty when the key or the IV (CBC) has the wrong length.
    QByteArray encode(const QByteArray& plain, const QByteArray& key, const QByteArray& iv = QByteArray()) const;
    // Decrypted with the padding still attached; empty when the key or IV has the wrong length
    // or the input is not a whole number of blocks.
    QByteArray decode(const QByteArray& input, const QByteArray& key, const QByteArray& iv = QByteArray()) const;
    // Lenient: drops n bytes when the last byte, read as a signed 8-bit n, is in 1..size;
    // otherwise returns the bytes unchanged. The padding bytes themselves are not checked.
    static QByteArray removePadding(const QByteArray& decoded);

private:
    evp_cipher_st* const cipher;
};

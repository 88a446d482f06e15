// The Ed25519 check used where there is no OpenSSL (Windows), held against OpenSSL's signer.
#include "UpdaterTestKit.h"

#include "updater/Ed25519.h"

using namespace tavrin::updater;
using tavrin::updater::test::TestKeyPair;

class Ed25519Test : public QObject {
    Q_OBJECT
private slots:
    void agreesWithOpenSslAndRejectsEveryAlteration()
    {
        for (int length : {0, 1, 63, 64, 200, 5000}) {
            TestKeyPair keys;
            const QByteArray key = QByteArray::fromBase64(keys.rawPublicBase64());
            QByteArray message(length, '\0');
            for (int i = 0; i < length; ++i)
                message[i] = char(i * 7 + length);
            const QByteArray signature = keys.sign(message);
            QVERIFY2(ed25519Verify(key, message, signature), qPrintable(QString::number(length)));

            QVERIFY(!ed25519Verify(key, message + 'x', signature));
            for (int at : {0, 31, 32, 63}) { // R and S, both ends
                QByteArray bad = signature;
                bad[at] = char(bad[at] ^ 0x01);
                QVERIFY(!ed25519Verify(key, message, bad));
            }
            QByteArray otherKey = key;
            otherKey[0] = char(otherKey[0] ^ 0x01);
            QVERIFY(!ed25519Verify(otherKey, message, signature));
            QVERIFY(!ed25519Verify(key.left(31), message, signature));
            QVERIFY(!ed25519Verify(key, message, signature.left(63)));

            // S + L is the same point but a second signature for one message: refused.
            static const unsigned char kL[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                                 0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                                                 0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};
            QByteArray malleable = signature;
            int carry = 0;
            for (int i = 0; i < 32; ++i) {
                const int sum = quint8(malleable[32 + i]) + kL[i] + carry;
                malleable[32 + i] = char(sum & 0xff);
                carry = sum >> 8;
            }
            QVERIFY(!ed25519Verify(key, message, malleable));
        }
    }
};

QTEST_MAIN(Ed25519Test)
#include "test_ed25519.moc"

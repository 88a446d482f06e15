// The emoticon pictures: right size, drawn (not blank), transparent around, each one its own.

#include "messaging/Emoticons.h"

#include <QSet>
#include <QTest>

using namespace tavrin::messaging;

class EmoticonPicturesTest : public QObject {
    Q_OBJECT
private slots:
    void everyElementHasItsOwnPicture()
    {
        QSet<QByteArray> seen;
        for (int i = 0; i < kEmoticonCount; ++i) {
            const QImage &picture = emoticonPicture(i);
            QCOMPARE(picture.size(), QSize(kEmoticonSize, kEmoticonSize));
            QVERIFY(picture.hasAlphaChannel());
            // Painted once: the same image every time.
            QCOMPARE(&emoticonPicture(i), &picture);

            int opaque = 0;
            for (int y = 0; y < kEmoticonSize; ++y)
                for (int x = 0; x < kEmoticonSize; ++x)
                    opaque += qAlpha(picture.pixel(x, y)) > 128;
            // Something a reader can see, that still sits on the chat background.
            QVERIFY2(opaque > kEmoticonSize * kEmoticonSize / 5, qPrintable(QString::number(i)));
            QVERIFY2(opaque < kEmoticonSize * kEmoticonSize, qPrintable(QString::number(i)));
            QVERIFY2(qAlpha(picture.pixel(0, kEmoticonSize - 1)) < 128 || qAlpha(picture.pixel(0, 0)) < 128,
                     qPrintable(QString::number(i)));

            const QImage raw = picture.convertToFormat(QImage::Format_ARGB32);
            const QByteArray bytes(reinterpret_cast<const char *>(raw.constBits()), raw.sizeInBytes());
            QVERIFY2(!seen.contains(bytes), qPrintable(QStringLiteral("element %1 repeats another").arg(i)));
            seen.insert(bytes);

            // For a screen scaled by 2: the whole picture drawn on 36 pixels (not the small one,
            // nor a corner of it), covering about four times the pixels.
            const QImage &sharp = emoticonPicture(i, 2 * kEmoticonSize);
            QCOMPARE(sharp.size(), QSize(2 * kEmoticonSize, 2 * kEmoticonSize));
            int sharpOpaque = 0;
            for (int y = 0; y < sharp.height(); ++y)
                for (int x = 0; x < sharp.width(); ++x)
                    sharpOpaque += qAlpha(sharp.pixel(x, y)) > 128;
            QVERIFY2(sharpOpaque > opaque * 3 && sharpOpaque < opaque * 5, qPrintable(QString::number(i)));
        }
    }
};

QTEST_MAIN(EmoticonPicturesTest)
#include "test_emoticon_pictures.moc"

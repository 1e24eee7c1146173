// The About window's JPEG decoder fed damaged copies of its own background:
// every truncation, random byte flips, forged frame sizes and markers, and
// bytes that are no JPEG at all. Each must come back as a null image or as a
// picture of sane size, without a crash, a hang or a message.
#include "about/jpegimage.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray background() {
    QFile f(QStringLiteral(":/about/background.jpg"));
    if (f.open(QIODevice::ReadOnly))
        return f.readAll();
    QFile src(QStringLiteral(ZV_ABOUT_DIR "/background.jpg"));
    return src.open(QIODevice::ReadOnly) ? src.readAll() : QByteArray();
}

struct Tally {
    int tried = 0;
    int decoded = 0;
    int refused = 0;
    QString firstInsane;
    void take(const QImage& image, const QString& what) {
        ++tried;
        if (image.isNull()) {
            ++refused;
            return;
        }
        ++decoded;
        const bool sane = image.width() >= 1 && image.height() >= 1 &&
                          image.width() <= kJpegMaxSide && image.height() <= kJpegMaxSide &&
                          qint64(image.width()) * image.height() <= kJpegMaxPixels;
        if (!sane && firstInsane.isEmpty())
            firstInsane =
                QStringLiteral("%1: %2x%3").arg(what).arg(image.width()).arg(image.height());
    }
};

qsizetype sofAt(const QByteArray& jpeg) {
    for (qsizetype i = 0; i + 9 < jpeg.size(); ++i)
        if (uchar(jpeg[i]) == 0xFF && (uchar(jpeg[i + 1]) & 0xF0) == 0xC0 &&
            uchar(jpeg[i + 1]) != 0xC4 && uchar(jpeg[i + 1]) != 0xC8 && uchar(jpeg[i + 1]) != 0xCC)
            return i;
    return -1;
}

} // namespace

class TestDrillsJpeg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void damagedBackgrounds();
};

void TestDrillsJpeg::damagedBackgrounds() {
    const QByteArray good = background();
    QVERIFY2(good.size() > 1000, "no background picture");
    const QImage original = decodeJpeg(good);
    QVERIFY(!original.isNull());
    QElapsedTimer timer;
    timer.start();

    Tally cut;
    // Every length through the headers, then every seventh.
    for (qsizetype n = 0; n < good.size(); n += n < 1024 ? 1 : 7)
        cut.take(decodeJpeg(good.left(n)), QStringLiteral("cut at %1").arg(n));
    // Only the whole file (or one whose missing tail is past the picture's
    // end) is a picture: a file cut inside its data would be painted grey.
    QVERIFY2(cut.decoded <= 2, qPrintable(QString::number(cut.decoded)));

    Tally flips;
    QRandomGenerator rng(20261208);
    for (int i = 0; i < 3000; ++i) {
        QByteArray bad = good;
        const int count = 1 + int(rng.bounded(8));
        for (int k = 0; k < count; ++k)
            bad[qsizetype(rng.bounded(quint32(bad.size())))] = char(rng.bounded(256));
        flips.take(decodeJpeg(bad), QStringLiteral("flips, seed step %1").arg(i));
    }

    Tally forged;
    const qsizetype sof = sofAt(good);
    QVERIFY(sof > 0);
    // Height at +5, width at +7, components at +9.
    const quint16 sizes[] = {0, 1, 2, 255, 256, 4096, 16384, 16385, 32768, 65535};
    for (const quint16 h : sizes) {
        for (const quint16 w : sizes) {
            QByteArray bad = good;
            bad[sof + 5] = char(h >> 8);
            bad[sof + 6] = char(h & 0xFF);
            bad[sof + 7] = char(w >> 8);
            bad[sof + 8] = char(w & 0xFF);
            forged.take(decodeJpeg(bad), QStringLiteral("frame %1x%2").arg(w).arg(h));
        }
    }
    for (const int comps : {0, 2, 4, 5, 255}) {
        QByteArray bad = good;
        bad[sof + 9] = char(comps);
        forged.take(decodeJpeg(bad), QStringLiteral("%1 components").arg(comps));
    }
    // Markers doubled, dropped, and a second picture's start in the middle.
    for (qsizetype i = 0; i + 1 < good.size(); ++i) {
        if (uchar(good[i]) != 0xFF || uchar(good[i + 1]) == 0 || uchar(good[i + 1]) == 0xFF)
            continue;
        forged.take(decodeJpeg(QByteArray(good).remove(i, 2)),
                    QStringLiteral("marker at %1 dropped").arg(i));
        forged.take(decodeJpeg(QByteArray(good).insert(i, good.mid(i, 4))),
                    QStringLiteral("marker at %1 doubled").arg(i));
        forged.take(decodeJpeg(QByteArray(good).insert(i, QByteArray("\xFF\xD8\xFF\xD9", 4))),
                    QStringLiteral("start and end at %1").arg(i));
    }

    Tally junk;
    for (int i = 0; i < 300; ++i) {
        QByteArray bytes(qsizetype(rng.bounded(4096)), Qt::Uninitialized);
        for (char& c : bytes)
            c = char(rng.bounded(256));
        if (i % 2 && bytes.size() >= 2) {
            bytes[0] = char(0xFF);
            bytes[1] = char(0xD8);
        }
        junk.take(decodeJpeg(bytes), QStringLiteral("junk %1").arg(i));
    }
    QVERIFY(decodeJpeg(QByteArray()).isNull());

    const qint64 ms = timer.elapsed();
    for (const auto& [name, t] :
         {std::pair{"truncated", &cut}, std::pair{"byte flips", &flips},
          std::pair{"forged headers and markers", &forged}, std::pair{"junk", &junk}}) {
        qInfo("jpeg drill %s: tried=%d decoded=%d refused=%d", name, t->tried, t->decoded,
              t->refused);
        QVERIFY2(t->firstInsane.isEmpty(), qPrintable(t->firstInsane));
    }
    qInfo("jpeg drill: all survived in %lld ms", ms);
    QCOMPARE(decodeJpeg(good), original);
}

QTEST_GUILESS_MAIN(TestDrillsJpeg)
#include "tst_drills_jpeg.moc"

// The waves of the sound module and the program's side of both modules, with
// no sound server and no system bus: everything here must stay silent.

#include "modules/client/powermodule.h"
#include "modules/client/soundmodule.h"
#include "modules/sound/synth.h"
#include "modules/sound/waves.h"
#include "tests/common/waveanalysis.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <span>

namespace {

struct SoundCase {
    const char* name;
    int spacingMs;
};

// The spacing that follows each sound when it is repeated.
constexpr SoundCase kSounds[] = {{"co", 1500}, {"ro", 2500}, {"ch", 3000}};

std::vector<std::int16_t> waveOf(const char* name) {
    return sounds::synthesize(*sounds::soundByName(name));
}

double ms(std::size_t samples) {
    return 1000.0 * double(samples) / sounds::kSampleRate;
}

bool processHasLoaded(const QByteArray& libraryName) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains(libraryName);
}

} // namespace

class TestModules final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void waveNames();
    void wavesFitTheirSpacing_data();
    void wavesFitTheirSpacing();
    void wavesAreDistinct();
    void cuckooIsTwoFallingNotes();
    void roosterIsFiveBuzzingSyllables();
    void chimesAreDecayingBellStrikes();

    void audioIsLoadedOnlyAtFirstPlay();
    void playWithoutSoundServer();
    void missingSoundModule();
    void soundModuleWithoutExport();
    void missingPowerModule();
    void powerModuleWithoutExport();

private:
    QString m_binDir = QStringLiteral(ZV_BIN_DIR);
    QString m_noExportDir = QStringLiteral(ZV_NOEXPORT_DIR);
};

void TestModules::initTestCase() {
    QVERIFY(QFile::exists(m_binDir + u'/' + SoundModule::fileName()));
    QVERIFY(QFile::exists(m_binDir + u'/' + PowerModule::fileName()));
    QVERIFY(QFile::exists(m_noExportDir + u'/' + SoundModule::fileName()));
    QVERIFY(QFile::exists(m_noExportDir + u'/' + PowerModule::fileName()));
}

void TestModules::waveNames() {
    QCOMPARE(sounds::soundByName("co"), sounds::Sound::Cuckoo);
    QCOMPARE(sounds::soundByName("ro"), sounds::Sound::Rooster);
    QCOMPARE(sounds::soundByName("ch"), sounds::Sound::Chimes);
    // Resource names are matched without regard to case.
    QCOMPARE(sounds::soundByName("CO"), sounds::Sound::Cuckoo);
    QCOMPARE(sounds::soundByName("Ch"), sounds::Sound::Chimes);
    QVERIFY(!sounds::soundByName(""));
    QVERIFY(!sounds::soundByName("c"));
    QVERIFY(!sounds::soundByName("cox"));
    QVERIFY(!sounds::soundByName("xx"));
    QVERIFY(!sounds::soundByName(std::string_view("c\0", 2)));
}

void TestModules::wavesFitTheirSpacing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("spacingMs");
    for (const SoundCase& s : kSounds)
        QTest::newRow(s.name) << QString::fromLatin1(s.name) << s.spacingMs;
}

void TestModules::wavesFitTheirSpacing() {
    QFETCH(QString, name);
    QFETCH(int, spacingMs);
    const std::vector<std::int16_t> w = waveOf(name.toLatin1().constData());
    QVERIFY(!w.empty());

    // Over before the next repetition starts, with room for the output's own
    // delay, so a repeated sound is heard whole every time.
    QVERIFY2(ms(w.size()) <= spacingMs - 300,
             qPrintable(QStringLiteral("%1 ms").arg(ms(w.size()))));
    // Long enough to be a call, not a blip.
    QVERIFY(ms(w.size()) >= spacingMs / 3.0);

    // Clearly audible, with head room and never at the rails.
    QVERIFY(wave::rms(w) > 0.05);
    QVERIFY(wave::peak(w) > 0.5);
    QVERIFY(wave::peak(w) < 0.8);
    // Starts and ends at rest, so starting or cutting it off does not click.
    QVERIFY(std::abs(w.front()) < 50);
    QVERIFY(std::abs(w.back()) < 50);

    // The module carries exactly these samples, made when it was built.
    const auto built = sounds::builtWave(*sounds::soundByName(name.toLatin1().constData()));
    QVERIFY(std::equal(w.begin(), w.end(), built.begin(), built.end()));
}

void TestModules::wavesAreDistinct() {
    const auto co = waveOf("co");
    const auto ro = waveOf("ro");
    const auto ch = waveOf("ch");
    QVERIFY(co.size() != ro.size() && ro.size() != ch.size() && co.size() != ch.size());
    QVERIFY(std::abs(wave::correlation(co, ro)) < 0.2);
    QVERIFY(std::abs(wave::correlation(co, ch)) < 0.2);
    QVERIFY(std::abs(wave::correlation(ro, ch)) < 0.2);
}

void TestModules::cuckooIsTwoFallingNotes() {
    const auto co = waveOf("co");
    const std::size_t tenMs = sounds::kSampleRate / 100;
    const auto calls = wave::bursts(co, tenMs, 0.02, 0);
    QCOMPARE(calls.size(), std::size_t(2));
    // The second note is the longer one.
    QVERIFY(calls[1].end - calls[1].begin > calls[0].end - calls[0].begin);

    const std::span<const std::int16_t> all(co);
    const std::size_t quarter = sounds::kSampleRate / 10;
    const double first = wave::pitch(all.subspan(calls[0].begin + 2 * tenMs, quarter),
                                     sounds::kSampleRate, 300, 1000);
    const double second = wave::pitch(all.subspan(calls[1].begin + 2 * tenMs, quarter),
                                      sounds::kSampleRate, 300, 1000);
    QVERIFY2(first > second, qPrintable(QStringLiteral("%1 Hz then %2 Hz").arg(first).arg(second)));
    // A minor third down.
    QVERIFY(std::abs(first / second - 1.189) < 0.03);
}

void TestModules::roosterIsFiveBuzzingSyllables() {
    const auto ro = waveOf("ro");
    const auto calls = wave::bursts(ro, sounds::kSampleRate / 100, 0.02, 0);
    QCOMPARE(calls.size(), std::size_t(5));
    // The last syllable is held longest.
    for (std::size_t i = 0; i + 1 < calls.size(); ++i)
        QVERIFY(calls[i].end - calls[i].begin < calls.back().end - calls.back().begin);
    // A harsh voice is much brighter than the soft pipe of the cuckoo.
    QVERIFY(wave::brightness(ro) > 3.0 * wave::brightness(waveOf("co")));
}

void TestModules::chimesAreDecayingBellStrikes() {
    const auto ch = waveOf("ch");
    const std::size_t window = sounds::kSampleRate / 100;
    const std::vector<double> env = wave::envelope(ch, window);
    // A strike is a sudden rise of the level over the ring of the bells
    // before it; count those, at least 200 ms apart.
    int strikes = 0;
    std::size_t last = 0;
    for (std::size_t i = 0; i < env.size(); ++i) {
        const double before = i >= 2 ? env[i - 2] : 0.0; // silence before the wave
        if (env[i] > 0.05 && env[i] > 1.6 * before && (strikes == 0 || i - last >= 20)) {
            ++strikes;
            last = i;
        }
    }
    QCOMPARE(strikes, 4);
    // After the last strike the bells ring down: each quarter second is
    // quieter than the one before (the beating of the partials makes shorter
    // stretches waver).
    const std::span<const std::int16_t> all(ch);
    const std::size_t quarter = sounds::kSampleRate / 4;
    double previous = 1.0;
    for (std::size_t at = (last + 5) * window; at + quarter <= all.size(); at += quarter) {
        const double level = wave::rms(all.subspan(at, quarter));
        QVERIFY2(level < previous,
                 qPrintable(QStringLiteral("%1 at %2 ms").arg(level).arg(ms(at))));
        previous = level;
    }
    QVERIFY(previous < 0.02);
}

void TestModules::audioIsLoadedOnlyAtFirstPlay() {
    // Nothing of audio in the process until the first sound plays.
    QVERIFY(!processHasLoaded("libpulse"));
    SoundModule sound(m_binDir);
    sound.stop(); // stopping loads nothing
    QVERIFY(!processHasLoaded("libpulse"));
    QVERIFY(!processHasLoaded(SoundModule::fileName().toLatin1()));
    QVERIFY(sound.play(u"co"));
    QVERIFY(processHasLoaded(SoundModule::fileName().toLatin1()));
    QVERIFY(processHasLoaded("libpulse"));
    sound.stop();
}

void TestModules::playWithoutSoundServer() {
    // The test's environment points PULSE_SERVER at nothing: the module is
    // there, the server is not. Starting must neither wait nor complain.
    QVERIFY(qEnvironmentVariable("PULSE_SERVER").contains(u"nonexistent"));
    SoundModule sound(m_binDir);
    QElapsedTimer timer;
    timer.start();
    for (const SoundCase& s : kSounds)
        QVERIFY(sound.play(QString::fromLatin1(s.name)));
    QVERIFY(sound.play(u"CH"));
    QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));

    // Names it holds no wave for.
    QVERIFY(!sound.play(u"xx"));
    QVERIFY(!sound.play(u""));
    QVERIFY(!sound.play(u"c"));
    QVERIFY(!sound.play(u"сo")); // Cyrillic "с"
    QVERIFY(!sound.play(QStringView(u"co\0", 3)));

    // A second client shares the one module and its one player.
    SoundModule other(m_binDir);
    QVERIFY(other.play(u"ro"));
    other.stop();
    // Give the player time to fail to connect; the process carries on.
    QTest::qWait(300);
    QVERIFY(sound.play(u"co"));
    sound.stop();
}

void TestModules::missingSoundModule() {
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    SoundModule sound(empty.path());
    QVERIFY(!sound.play(u"co"));
    QVERIFY(!sound.play(u"ro"));
    sound.stop();

    // A folder that does not exist at all.
    SoundModule nowhere(empty.path() + QStringLiteral("/no/such/folder"));
    QVERIFY(!nowhere.play(u"ch"));

    // The module put in place while the program runs is found at the next play.
    QVERIFY(QFile::copy(m_binDir + u'/' + SoundModule::fileName(),
                        empty.path() + u'/' + SoundModule::fileName()));
    QVERIFY(sound.play(u"co"));
    sound.stop();
}

void TestModules::soundModuleWithoutExport() {
    SoundModule sound(m_noExportDir);
    QVERIFY(!sound.play(u"co"));
    QVERIFY(!sound.play(u"ch"));
    sound.stop();
}

void TestModules::missingPowerModule() {
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    PowerModule power(empty.path());
    QElapsedTimer timer;
    timer.start();
    power.NT_Reboot(2);
    power.NT_Reboot(1);
    QVERIFY(timer.elapsed() < 1000);
}

void TestModules::powerModuleWithoutExport() {
    // The module is loaded and closed again; without NT_Reboot nothing runs.
    PowerModule power(m_noExportDir);
    power.NT_Reboot(2);
    power.NT_Reboot(1);
    QVERIFY(
        !processHasLoaded(QByteArray(ZV_NOEXPORT_DIR "/") + PowerModule::fileName().toLatin1()));
}

int main(int argc, char** argv) {
    // Whatever the caller's environment: no test here may reach a real sound
    // server or the real system bus.
    qputenv("PULSE_SERVER", "unix:/nonexistent/zv-no-sound-server");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zv-no-system-bus");
    QCoreApplication app(argc, argv);
    TestModules test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_modules.moc"

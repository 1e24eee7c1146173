// The sound module against a real sound server: a private PulseAudio with a
// null sink, whose monitor parec records. The recording is compared with the
// module's own waves to show what went out, whole or cut off.

#include "modules/client/soundmodule.h"
#include "modules/sound/synth.h"
#include "modules/sound/waves.h"
#include "tests/common/waveanalysis.h"
#include "tests/system/realparts/childprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <span>

namespace {

constexpr int kRate = sounds::kSampleRate;
constexpr std::size_t kTenMs = kRate / 100;

std::size_t samples(int ms) {
    return std::size_t(ms) * kRate / 1000;
}
double toMs(std::size_t n) {
    return 1000.0 * double(n) / kRate;
}

// The samples the module plays.
std::span<const std::int16_t> waveOf(const char* name) {
    return sounds::builtWave(*sounds::soundByName(name));
}

// How far a stretch of the recording is from being exactly `ref` at some
// level: the leftover after taking the best-scaled copy of ref away, relative
// to ref. A sound mixed under it (a tail not cut off) leaves a large rest.
double residual(std::span<const std::int16_t> rec, std::span<const std::int16_t> ref) {
    double rr = 0.0, rf = 0.0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
        rr += double(rec[i]) * double(ref[i]);
        rf += double(ref[i]) * double(ref[i]);
    }
    const double scale = rr / rf;
    double rest = 0.0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
        const double d = double(rec[i]) - scale * double(ref[i]);
        rest += d * d;
    }
    return std::sqrt(rest / rf);
}

// The null sink's monitor may miss the first few milliseconds of a stream
// that has just started or been flushed: the server rewinds the sink to put
// the new sound in at once, and the monitor has already passed on the silence
// it had there (a real device plays the rewritten buffer). Up to about 20 ms
// were seen missing; waves are compared from this point on.
const std::size_t kSettle = samples(25);

// A wave found in the recording near `guess`: where it starts, how closely it
// matches, and what is left of the recording once the wave is taken away.
struct Found {
    std::size_t offset = 0;
    double correlation = 0.0;
    double residual = 1.0;
    double level = 0.0; // recorded level over the wave's own
};

Found find(std::span<const std::int16_t> all, std::span<const std::int16_t> ref,
           std::ptrdiff_t guess, std::ptrdiff_t reach) {
    const auto part = ref.subspan(kSettle);
    const wave::Match m = wave::locate(all, part, guess + std::ptrdiff_t(kSettle), reach);
    if (m.correlation <= 0.0 || m.offset < kSettle)
        return {};
    const auto heard = all.subspan(m.offset, part.size());
    return {m.offset - kSettle, m.correlation, residual(heard, part),
            wave::rms(heard) / wave::rms(part)};
}

// Sample where a wave first becomes loud, by the same measure used on the
// recording, to line the two up.
std::size_t loudFrom(std::span<const std::int16_t> x) {
    const auto b = wave::bursts(x, kTenMs, 0.01, 0);
    return b.empty() ? 0 : b.front().begin;
}

} // namespace

class TestSoundReal final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void threeCuckoosWhileCallerWaits();
    void newStartCutsOffSoundStillPlaying();
    void stopCutsOff();
    void streamTellsTheServerItIsAnAlarm();

private:
    void startRecording();
    bool waitForSound(int timeoutMs);
    std::vector<std::int16_t> stopRecording();

    QTemporaryDir m_dir;
    QProcess m_server;
    QProcess m_recorder;
    QString m_socket;
    QString m_recording;
    QString m_binDir = QStringLiteral(ZV_BIN_DIR);
};

void TestSoundReal::initTestCase() {
    QVERIFY(m_dir.isValid());
    // A private home, runtime and configuration folder: the server shares
    // nothing with any server of the machine's user.
    const QString root = m_dir.path();
    for (const char* sub : {"run", "config", "home"})
        QVERIFY(QDir(root).mkpath(QString::fromLatin1(sub)));
    QVERIFY(QFile::setPermissions(root + QStringLiteral("/run"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    m_socket = root + QStringLiteral("/run/pulse.sock");
    m_recording = root + QStringLiteral("/recording.raw");

    // The null sink takes the module's own format, so what is recorded is
    // what was played, sample for sample, with no resampling in between.
    QFile script(root + QStringLiteral("/server.pa"));
    QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Text));
    script.write("load-module module-native-protocol-unix auth-anonymous=1 socket=" +
                 QFile::encodeName(m_socket) + '\n');
    script.write("load-module module-null-sink sink_name=zvnull rate=48000 channels=1 "
                 "format=s16le\n");
    script.write("set-default-sink zvnull\n");
    script.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    m_server.setProcessEnvironment(env);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    dieWithTest(m_server);
    // As root too (CI runs as root): a user-mode server that never exits on
    // its own, loads only the script, and keeps no pid file.
    m_server.start(QStringLiteral("pulseaudio"),
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                    QStringLiteral("--system=false"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("--disallow-exit"), QStringLiteral("--use-pid-file=no"),
                    QStringLiteral("--disable-shm=yes"), QStringLiteral("--log-target=stderr"),
                    QStringLiteral("-F"), script.fileName()});
    QVERIFY(m_server.waitForStarted(5000));
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(m_socket) && wait.elapsed() < 10000 &&
           m_server.state() == QProcess::Running)
        QThread::msleep(50);
    QVERIFY2(QFile::exists(m_socket), m_server.readAll().constData());

    // The module finds the server the usual way.
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_socket));
}

void TestSoundReal::cleanup() {
    endProcess(m_recorder);
}

void TestSoundReal::cleanupTestCase() {
    endProcess(m_recorder);
    endProcess(m_server);
}

void TestSoundReal::startRecording() {
    QFile::remove(m_recording);
    m_recorder.setStandardOutputFile(m_recording);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + m_socket);
    m_recorder.setProcessEnvironment(env);
    dieWithTest(m_recorder);
    m_recorder.start(QStringLiteral("parec"),
                     {QStringLiteral("--device=zvnull.monitor"), QStringLiteral("--format=s16le"),
                      QStringLiteral("--rate=48000"), QStringLiteral("--channels=1"),
                      QStringLiteral("--latency-msec=20")});
    QVERIFY(m_recorder.waitForStarted(5000));
    // Recording has begun once the idle sink's silence arrives.
    QElapsedTimer wait;
    wait.start();
    while (QFileInfo(m_recording).size() < qint64(samples(100)) * 2 && wait.elapsed() < 10000)
        QThread::msleep(20);
    QVERIFY2(QFileInfo(m_recording).size() > 0, m_recorder.readAllStandardError().constData());
}

// Waits until the recording holds something louder than silence: the sound
// has reached the server, however long its connection took.
bool TestSoundReal::waitForSound(int timeoutMs) {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < timeoutMs) {
        QFile file(m_recording);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray raw = file.readAll();
            const auto* pcm = reinterpret_cast<const std::int16_t*>(raw.constData());
            for (qsizetype i = 0; i < raw.size() / 2; ++i) {
                if (std::abs(int(pcm[i])) > 1000)
                    return true;
            }
        }
        QThread::msleep(20);
    }
    return false;
}

std::vector<std::int16_t> TestSoundReal::stopRecording() {
    endProcess(m_recorder);
    QFile file(m_recording);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray raw = file.readAll();
    std::vector<std::int16_t> pcm(std::size_t(raw.size()) / 2);
    std::memcpy(pcm.data(), raw.constData(), pcm.size() * 2);
    return pcm;
}

void TestSoundReal::threeCuckoosWhileCallerWaits() {
    startRecording();
    SoundModule sound(m_binDir);

    // As a task with the cuckoo played three times does it: wait the
    // spacing, start the sound, and again; the waits block this thread while
    // each call plays out.
    qint64 inPlay = 0;
    for (int i = 0; i < 3; ++i) {
        QThread::msleep(1500);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(sound.play(u"co"));
        inPlay += timer.elapsed();
    }
    // Starting returns at once: the waiting is all the caller's own.
    QVERIFY2(inPlay < 300, qPrintable(QString::number(inPlay)));
    QThread::msleep(1500);
    const std::vector<std::int16_t> rec = stopRecording();
    QVERIFY(toMs(rec.size()) > 5500);

    const auto co = waveOf("co");
    const std::span<const std::int16_t> all(rec);
    // The two notes of one call are 100 ms apart; calls are 550 ms apart.
    const auto calls = wave::bursts(rec, kTenMs, 0.01, samples(300));
    QCOMPARE(calls.size(), std::size_t(3));

    std::vector<std::size_t> at;
    for (const wave::Burst& call : calls) {
        const auto guess = std::ptrdiff_t(call.begin) - std::ptrdiff_t(loudFrom(co));
        const Found f = find(all, co, guess, std::ptrdiff_t(kTenMs));
        // Whole: the entire call, both notes to the end of the second, is
        // there at full level with nothing missing or added.
        QVERIFY2(f.correlation > 0.99, qPrintable(QString::number(f.correlation)));
        QVERIFY2(f.residual < 0.02, qPrintable(QString::number(f.residual)));
        QVERIFY(std::abs(f.level - 1.0) < 0.05);
        at.push_back(f.offset);
    }
    // One spacing apart, and silence between the calls.
    for (std::size_t i = 0; i + 1 < at.size(); ++i) {
        const double apart = toMs(at[i + 1] - at[i]);
        // Each start opens a new connection to the server, which takes a
        // varying while on a busy machine.
        QVERIFY2(std::abs(apart - 1500.0) < 250.0, qPrintable(QString::number(apart)));
        QVERIFY(wave::rms(all.subspan(at[i] + co.size(), at[i + 1] - at[i] - co.size())) < 0.002);
    }

    // The same seen by sox: the recording holds sound at the wave's level.
    if (haveProgram("sox")) {
        QProcess sox;
        sox.setProcessChannelMode(QProcess::MergedChannels);
        sox.start(QStringLiteral("sox"),
                  {QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"),
                   QStringLiteral("48000"), QStringLiteral("-e"), QStringLiteral("signed"),
                   QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"),
                   QStringLiteral("1"), m_recording, QStringLiteral("-n"), QStringLiteral("stat")});
        QVERIFY(sox.waitForFinished(10000));
        const QString stat = QString::fromLocal8Bit(sox.readAll());
        qInfo().noquote() << stat;
        const auto value = [&](const char* field) {
            const QRegularExpression re(QString::fromLatin1(field) +
                                        QStringLiteral(":\\s*([-0-9.]+)"));
            return re.match(stat).captured(1).toDouble();
        };
        QVERIFY(value("RMS\\s+amplitude") > 0.1);
        QVERIFY(std::abs(value("Maximum amplitude") - wave::peak(co)) < 0.01);
    } else {
        qInfo("sox not found: the recording was checked by the test's own analysis only");
    }
}

void TestSoundReal::newStartCutsOffSoundStillPlaying() {
    startRecording();
    SoundModule sound(m_binDir);
    QVERIFY(sound.play(u"ch"));
    QVERIFY(waitForSound(5000));
    QThread::msleep(300);
    QVERIFY(sound.play(u"co"));
    QThread::msleep(1600);
    const std::vector<std::int16_t> rec = stopRecording();

    const auto ch = waveOf("ch");
    const auto co = waveOf("co");
    const std::span<const std::int16_t> all(rec);
    const auto heard = wave::bursts(rec, kTenMs, 0.01, samples(300));
    QVERIFY(!heard.empty());

    // The chimes began...
    const Found bells = find(all, ch.first(samples(150)),
                             std::ptrdiff_t(heard.front().begin) - std::ptrdiff_t(loudFrom(ch)),
                             std::ptrdiff_t(kTenMs));
    QVERIFY2(bells.correlation > 0.99, qPrintable(QString::number(bells.correlation)));
    // ...and were heard sample for sample up to the cut...
    std::size_t cut = bells.offset + kSettle;
    while (cut < rec.size() && cut - bells.offset < ch.size() &&
           std::abs(int(rec[cut]) - int(ch[cut - bells.offset])) < 200)
        ++cut;
    QVERIFY(toMs(cut - bells.offset) > 250.0);
    QVERIFY(cut - bells.offset < ch.size() - samples(1000));

    // ...where the cuckoo followed at once, whole, with nothing of the bells
    // left ringing under it or after it.
    const Found cuckoo = find(all, co, std::ptrdiff_t(cut), std::ptrdiff_t(samples(100)));
    QVERIFY2(cuckoo.correlation > 0.99, qPrintable(QString::number(cuckoo.correlation)));
    QVERIFY2(cuckoo.residual < 0.02, qPrintable(QString::number(cuckoo.residual)));
    const std::size_t after = cuckoo.offset + co.size();
    QVERIFY(after + samples(200) < rec.size());
    QVERIFY(wave::rms(all.subspan(after)) < 0.002);
}

void TestSoundReal::stopCutsOff() {
    startRecording();
    SoundModule sound(m_binDir);
    QThread::msleep(200);
    QVERIFY(sound.play(u"ro"));
    QVERIFY(waitForSound(5000));
    QThread::msleep(300);
    sound.stop();
    QThread::msleep(1500);
    const std::vector<std::int16_t> rec = stopRecording();

    const std::span<const std::int16_t> all(rec);
    const auto heard = wave::bursts(rec, kTenMs, 0.01, 0);
    QVERIFY(!heard.empty());
    // The crow lasts 1.9 s; stopped about 0.3 s in, nothing of it is heard from
    // a little after the stop on.
    const std::size_t start = heard.front().begin;
    QVERIFY(start + samples(1700) <= rec.size());
    const auto tail = all.subspan(start + samples(700), samples(1000));
    QVERIFY2(wave::rms(tail) < 0.002, qPrintable(QString::number(wave::rms(tail))));
    QVERIFY(wave::rms(all.subspan(start, samples(300))) > 0.05);
}

void TestSoundReal::streamTellsTheServerItIsAnAlarm() {
    // The stream as the server lists it while the chimes play: an alarm of
    // this program, with its icon, at the volume the user left.
    SoundModule sound(m_binDir);
    QVERIFY(sound.play(u"ch"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + m_socket);
    QString listing;
    QElapsedTimer wait;
    wait.start();
    while (!listing.contains(QStringLiteral("media.role")) && wait.elapsed() < 5000) {
        QProcess pactl;
        pactl.setProcessEnvironment(env);
        pactl.start(QStringLiteral("pactl"),
                    {QStringLiteral("list"), QStringLiteral("sink-inputs")});
        QVERIFY(pactl.waitForFinished(5000));
        listing = QString::fromUtf8(pactl.readAllStandardOutput());
        if (!listing.contains(QStringLiteral("media.role")))
            QThread::msleep(50);
    }
    sound.stop();
    QVERIFY2(listing.contains(QStringLiteral("media.role = \"alarm\"")), qPrintable(listing));
    QVERIFY2(listing.contains(QStringLiteral("application.name = \"Звонарька\"")),
             qPrintable(listing));
    QVERIFY2(listing.contains(QStringLiteral("application.icon_name = \"zvonarka\"")),
             qPrintable(listing));
    QVERIFY2(listing.contains(QStringLiteral("Mute: no")), qPrintable(listing));
}

int main(int argc, char** argv) {
    // Nothing here may reach the machine's own sound server or system bus.
    qputenv("PULSE_SERVER", "unix:/nonexistent/zv-no-sound-server");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zv-no-system-bus");
    QCoreApplication app(argc, argv);
    if (!haveProgram("pulseaudio") || !haveProgram("parec")) {
        std::fputs("pulseaudio or parec not installed: skipped\n", stderr);
        return 77;
    }
    TestSoundReal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sound_real.moc"

// The updater's whole path for a 64 MiB program over loopback: signed manifest fetch and
// check, download with hashing, atomic install and the check of the installed file. Reports throughput (bytes_per_second) and the
// process's peak memory above the idle updater (peak_above_idle_MiB, from VmHWM/VmRSS).
//
// The server runs as a child process (this program with --serve), so its buffers do not count
// against the updater's memory. It generates the body as it goes and never holds the file.
//
// Run from a Release build: bench_updater --benchmark_repetitions=5

#include "updater/ReleaseManifest.h"
#include "updater/UpdateDownload.h"
#include "updater/UpdaterWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr qint64 kProgramBytes = 64LL * 1024 * 1024;
constexpr qint64 kPatternBytes = 1024 * 1024;
constexpr qint64 kChunkBytes = 256 * 1024;      // divides the pattern: chunks never wrap
constexpr qint64 kMaxQueuedBytes = 1024 * 1024; // what the server lets pile up in its socket

QByteArray pattern()
{
    QByteArray bytes(kPatternBytes, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (qint64 i = 0; i < kPatternBytes; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x);
    }
    return bytes;
}

long statusKiB(const char *field)
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long value = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0)
            value = std::strtol(line + n + 1, nullptr, 10);
    std::fclose(f);
    return value;
}

// ---- the server child -------------------------------------------------------------------

int serve(const QString &manifestFile)
{
    QFile file(manifestFile);
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray manifest = file.readAll();
    const QByteArray body = pattern();
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 2;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            auto *sent = new qint64(-1); // -1: request not read yet
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, sent] {
                delete sent;
                socket->deleteLater();
            });
            auto pump = [socket, sent, &body] {
                while (*sent >= 0 && *sent < kProgramBytes && socket->bytesToWrite() < kMaxQueuedBytes) {
                    socket->write(body.constData() + (*sent % kPatternBytes), kChunkBytes);
                    *sent += kChunkBytes;
                }
                if (*sent == kProgramBytes) {
                    *sent = kProgramBytes + 1;
                    socket->disconnectFromHost();
                }
            };
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, sent, pump, &manifest] {
                if (*sent >= 0 || !socket->canReadLine())
                    return;
                const QByteArray path = socket->readLine().split(' ').value(1);
                socket->readAll();
                if (path.endsWith(".manifest")) {
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(manifest.size())
                                  + "\r\nConnection: close\r\n\r\n" + manifest);
                    *sent = kProgramBytes + 1;
                    socket->disconnectFromHost();
                    return;
                }
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(kProgramBytes)
                              + "\r\nConnection: close\r\n\r\n");
                *sent = 0;
                pump();
            });
        }
    });
    std::printf("%d\n", int(server.serverPort()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// ---- the measured side ------------------------------------------------------------------

struct Fixture {
    QTemporaryDir dir;
    QProcess server;
    QByteArray publicKey;
    quint16 port = 0;

    Fixture()
    {
        // A release key made now, and the signed manifest of the generated program.
        EVP_PKEY *pkey = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
        unsigned char *der = nullptr;
        const int length = i2d_PUBKEY(pkey, &der);
        publicKey = QByteArray(reinterpret_cast<const char *>(der), length).toBase64();
        OPENSSL_free(der);
        QCryptographicHash hash(QCryptographicHash::Sha512);
        const QByteArray body = pattern();
        for (qint64 done = 0; done < kProgramBytes; done += kPatternBytes)
            hash.addData(body);
        const QByteArray text =
            tavrin::updater::ReleaseManifest::signedText(QStringLiteral("99.0.0"), kProgramBytes, hash.result());
        unsigned char signature[64];
        size_t signatureLength = sizeof signature;
        EVP_MD_CTX *ctx = EVP_MD_CTX_new();
        EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, pkey);
        EVP_DigestSign(ctx, signature, &signatureLength, reinterpret_cast<const unsigned char *>(text.constData()),
                       size_t(text.size()));
        EVP_MD_CTX_free(ctx);
        EVP_PKEY_free(pkey);
        QFile manifest(dir.filePath(QStringLiteral("program.manifest")));
        manifest.open(QIODevice::WriteOnly);
        manifest.write(text + "signature "
                       + QByteArray(reinterpret_cast<const char *>(signature), qsizetype(signatureLength)).toBase64()
                       + '\n');
        manifest.close();

        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve"), manifest.fileName()});
        if (server.waitForReadyRead(10000))
            port = quint16(server.readLine().trimmed().toUInt());
    }
    ~Fixture()
    {
        server.kill();
        server.waitForFinished();
    }
};

long g_idleKiB = -1;

void BM_UpdateOverLoopback(benchmark::State &state)
{
    static Fixture fixture;
    if (fixture.port == 0) {
        state.SkipWithError("the server child did not start");
        return;
    }
    tavrin::updater::UpdaterOptions options;
    options.programDirectory = fixture.dir.path() + QLatin1Char('/');
    options.defaultProgramDirectory = options.programDirectory;
    options.downloadUrl = QStringLiteral("http://127.0.0.1:%1/Tavrin.exe").arg(fixture.port);
    options.webUrl = QStringLiteral("http://www.tavrin.example/");
    options.releaseKey = fixture.publicKey;
    options.startProgram = [](const QString &, const QStringList &) { return true; };
    tavrin::updater::UpdaterWindow window(options);
    if (!QFileInfo::exists(window.targetPath())) { // only an installed program is updated
        QFile installed(window.targetPath());
        installed.open(QIODevice::WriteOnly);
    }
    window.show();
    QCoreApplication::processEvents();
    if (g_idleKiB < 0)
        g_idleKiB = statusKiB("VmRSS:");

    bool ok = true;
    for (auto _ : state) {
        QEventLoop loop;
        bool succeeded = false;
        const auto connection = QObject::connect(&window.download(), &tavrin::updater::UpdateDownload::finished,
                                                 &loop, [&](bool result) {
                                                     succeeded = result;
                                                     loop.quit();
                                                 });
        window.Command3_Click();
        loop.exec();
        QObject::disconnect(connection);
        ok = ok && succeeded;
        state.PauseTiming();
        window.show(); // success hides it
        QFile::remove(window.targetPath() + QStringLiteral(".previous"));
        state.ResumeTiming();
    }
    if (!ok)
        state.SkipWithError("an update failed");
    if (QFileInfo(window.targetPath()).size() != kProgramBytes)
        state.SkipWithError("the installed program has the wrong size");
    state.SetBytesProcessed(state.iterations() * kProgramBytes);
    state.counters["peak_above_idle_MiB"] = double(statusKiB("VmHWM:") - g_idleKiB) / 1024.0;
}
BENCHMARK(BM_UpdateOverLoopback)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--serve") == 0) {
        QCoreApplication app(argc, argv);
        return serve(QString::fromLocal8Bit(argv[2]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The socket options library as the program meets it: loaded at run time, one export,
// five options on a real socket, and the Windows build's export table.

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using SetSockValFunc = bool (*)(int);

int intOption(int fd, int option) {
  int value = -1;
  socklen_t length = sizeof value;
  if (getsockopt(fd, SOL_SOCKET, option, &value, &length) != 0)
    return -1;
  return value;
}

timeval timeOption(int fd, int option) {
  timeval value{-1, -1};
  socklen_t length = sizeof value;
  getsockopt(fd, SOL_SOCKET, option, &value, &length);
  return value;
}

// A connected loopback TCP pair, closed on destruction.
struct TcpPair {
  int listener = -1;
  int client = -1;
  int server = -1;
  TcpPair() {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
      return;
    client = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
      return;
    server = accept(listener, nullptr, nullptr);
  }
  ~TcpPair() {
    for (int fd : {server, client, listener})
      if (fd >= 0)
        close(fd);
  }
};

} // namespace

class TestWiretune : public QObject {
  Q_OBJECT

  void *library = nullptr;
  SetSockValFunc setSockVal = nullptr;

private slots:
  void initTestCase() {
    library = dlopen(VX_WIRETUNE_FILE, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    setSockVal = reinterpret_cast<SetSockValFunc>(dlsym(library, "SetSockVal"));
    QVERIFY(setSockVal);
  }

  void cleanupTestCase() {
    if (library)
      dlclose(library);
  }

  void setsAllFiveOptionsOnAConnectedSocket() {
    TcpPair pair;
    QVERIFY(pair.server >= 0);

    // What this kernel reports back for a buffer of 512 (Linux doubles it and has a floor).
    const int reference = socket(AF_INET, SOCK_STREAM, 0);
    const int small = 512;
    setsockopt(reference, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(reference, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const int expectedSend = intOption(reference, SO_SNDBUF);
    const int expectedReceive = intOption(reference, SO_RCVBUF);
    close(reference);
    QVERIFY(intOption(pair.client, SO_SNDBUF) != expectedSend);

    linger lingering{1, 30};
    setsockopt(pair.client, SOL_SOCKET, SO_LINGER, &lingering, sizeof lingering);

    QCOMPARE(setSockVal(pair.client), true);

    QCOMPARE(intOption(pair.client, SO_SNDBUF), expectedSend);
    QCOMPARE(intOption(pair.client, SO_RCVBUF), expectedReceive);
    for (int option : {SO_RCVTIMEO, SO_SNDTIMEO}) {
      const timeval timeout = timeOption(pair.client, option);
      QCOMPARE(timeout.tv_sec, 10);
      QCOMPARE(timeout.tv_usec, 0);
    }
    linger after{-1, -1};
    socklen_t length = sizeof after;
    QCOMPARE(getsockopt(pair.client, SOL_SOCKET, SO_LINGER, &after, &length), 0);
    QCOMPARE(after.l_onoff, 0);

    // The socket still carries data both ways.
    QCOMPARE(send(pair.client, "U", 1, 0), ssize_t(1));
    char byte = 0;
    QCOMPARE(recv(pair.server, &byte, 1, 0), ssize_t(1));
    QCOMPARE(byte, 'U');
  }

  void answersTrueForHandlesThatAreNotSockets() {
    int pipeEnds[2];
    QCOMPARE(pipe(pipeEnds), 0);
    QCOMPARE(setSockVal(pipeEnds[0]), true);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    QCOMPARE(setSockVal(-1), true);
  }

  void exportsOnlySetSockVal() {
    const QString nm = QStandardPaths::findExecutable("nm");
    if (nm.isEmpty())
      QSKIP("nm is not installed");
    QProcess process;
    process.start(nm, {"-D", "--defined-only", VX_WIRETUNE_FILE});
    QVERIFY(process.waitForFinished(10000));
    QStringList exported;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
      const QList<QByteArray> fields = line.simplified().split(' ');
      // Functions and data of the library itself; the sanitizer runtime adds none here.
      if (fields.size() == 3 && QByteArray("TDBR").contains(fields[1]))
        exported << QString::fromLatin1(fields[2]);
    }
    QCOMPARE(exported, QStringList{"SetSockVal"});
  }

  void windowsBuildExportsSetSockValAsOrdinalOne() {
    const QString compiler = QStandardPaths::findExecutable("x86_64-w64-mingw32-g++");
    const QString objdump = QStandardPaths::findExecutable("x86_64-w64-mingw32-objdump");
    if (compiler.isEmpty() || objdump.isEmpty())
      QSKIP("the mingw-w64 cross compiler is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString dll = dir.filePath("Wiretune.dll");
    const QString source = QStringLiteral(VX_WIRETUNE_SOURCE_DIR);

    QProcess build;
    build.setProcessChannelMode(QProcess::MergedChannels);
    build.start(compiler, {"-std=c++20", "-O2", "-Wall", "-Wextra", "-Wpedantic", "-Werror",
                           "-shared", "-static-libgcc", "-static-libstdc++", "-o", dll,
                           source + "/Wiretune.cpp", source + "/Wiretune.def", "-lws2_32"});
    QVERIFY(build.waitForFinished(120000));
    QVERIFY2(build.exitCode() == 0, build.readAll().constData());

    QProcess dump;
    dump.start(objdump, {"-p", dll});
    QVERIFY(dump.waitForFinished(30000));
    const QString table = QString::fromLatin1(dump.readAllStandardOutput());

    const auto field = [&](const QString &pattern) {
      const QRegularExpressionMatch match = QRegularExpression(pattern).match(table);
      return match.hasMatch() ? match.captured(1) : QString();
    };
    QCOMPARE(field(R"(\nName\s+[0-9a-fA-F]+\s+(\S+))"), QString("Wiretune.dll"));
    QCOMPARE(field(R"(Ordinal Base\s+(\d+))"), QString("1"));
    QCOMPARE(field(R"(Export Address Table\s+([0-9a-fA-F]+)\n)").toInt(nullptr, 16), 1);
    QCOMPARE(field(R"(\+base\[\s*(\d+)\])"), QString("1"));
    const int names = table.indexOf("[Ordinal/Name Pointer] Table");
    QVERIFY(names >= 0);
    const QStringList nameLines =
        table.mid(names).section("\n\n", 0, 0).split('\n', Qt::SkipEmptyParts).mid(1);
    QCOMPARE(nameLines.size(), 1);
    QVERIFY2(nameLines.first().trimmed().endsWith("] SetSockVal"), qPrintable(nameLines.first()));

    // Sets the options through Windows Sockets 2 and stands alone: no compiler runtime DLLs.
    QVERIFY(table.contains("DLL Name: WS2_32.dll", Qt::CaseInsensitive));
    QVERIFY(table.contains("setsockopt"));
    QVERIFY(!table.contains("libstdc++", Qt::CaseInsensitive));
    QVERIFY(!table.contains("libgcc", Qt::CaseInsensitive));
  }
};

QTEST_GUILESS_MAIN(TestWiretune)
#include "tst_wiretune.moc"

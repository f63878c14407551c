// Writing a file whole: new, replaced, refused, and rewritten in place where
// the folder refuses new files.
#include "platform/SafeWriter.h"
#include "support/Immutable.h"
#include "support/SmallDisk.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <memory>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

using Step = SafeWriteFailure::Step;

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The content in pieces of at most size bytes.
SafeWriter::Producer inPieces(const QByteArray &content, qsizetype size)
{
    return [content, size](const SafeWriter::Sink &sink) {
        for (qsizetype at = 0; at < content.size(); at += size)
            sink(content.constData() + at, std::min(size, content.size() - at));
    };
}

} // namespace

class TestSafeWriter : public QObject
{
    Q_OBJECT

private slots:
    void writes_data();
    void writes();
    void failureKeepsOldFile_data();
    void failureKeepsOldFile();
    void producerErrorKeepsOldFile();
    void inPlaceWhereFolderRefuses_data();
    void inPlaceWhereFolderRefuses();
    void keepsAttributes();
};

void TestSafeWriter::writes_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qsizetype>("piece"); // 0: the content whole

    QTest::newRow("new file") << QByteArray() << QByteArray("new\r\n") << qsizetype(0);
    QTest::newRow("new file, empty") << QByteArray() << QByteArray("") << qsizetype(0);
    QTest::newRow("replaces a longer file") << QByteArray(5000, 'o') << QByteArray("new\r\n") << qsizetype(0);
    QTest::newRow("replaces, in pieces") << QByteArray("old\n") << QByteArray(100000, 'n') << qsizetype(4096);
}

void TestSafeWriter::writes()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, content);
    QFETCH(qsizetype, piece);
    TestFolder folder;
    const QString path = folder.filePath("out.txt");
    // The old file's permissions, as far as the system keeps them (on
    // Windows, whether the file is read-only).
    QFile::Permissions permissions;
    if (!before.isNull()) {
        writeWholeFile(path, before);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        permissions = QFile::permissions(path);
    }
    const quint64 inode = inodeOf(path);

    SafeWriter writer(path);
    const auto failure = piece == 0 ? writer.write(content) : writer.write(inPieces(content, piece));
    QVERIFY(!failure);
    QCOMPARE(readWholeFile(path), content);
    QCOMPARE(entries(folder.path()), QStringList{"out.txt"});
    if (!before.isNull()) {
        QVERIFY(inodeOf(path) != inode); // a new file renamed over the old one
        QCOMPARE(QFile::permissions(path), permissions);
    }
}

void TestSafeWriter::failureKeepsOldFile_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<bool>("fallback");
    QTest::addColumn<int>("step");

    QTest::newRow("read-only file") << "read-only file" << true << int(Step::Create);
    QTest::newRow("folder of that name") << "folder" << true << int(Step::Create);
    QTest::newRow("folder refuses new files, no fallback") << "immutable folder" << false << int(Step::Create);
    QTest::newRow("full disk") << "full disk" << false << int(Step::Write);
    QTest::newRow("full disk, rewritten in place") << "full disk, immutable folder" << true << int(Step::Write);
}

void TestSafeWriter::failureKeepsOldFile()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, fallback);
    QFETCH(int, step);
    TestFolder folder;
    const QString place = folder.filePath("place");
    QVERIFY(QDir().mkdir(place));
    std::unique_ptr<SmallDisk> disk;
    if (obstacle.startsWith("full disk")) {
        disk = std::make_unique<SmallDisk>(place);
        if (!disk->isMounted())
            QSKIP("cannot mount a tmpfs here");
    }
    const QString path = place + "/out.txt";
    const QByteArray old = obstacle == "folder" ? QByteArray() : QByteArray(4000, 'o');
    if (obstacle == "folder")
        QVERIFY(QDir().mkdir(path));
    else
        writeWholeFile(path, old);
    if (obstacle == "read-only file")
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    if (disk)
        disk->fill();
    const QStringList before = entries(place);
    std::unique_ptr<Immutable> locked;
    if (obstacle.contains("immutable folder")) {
        locked = std::make_unique<Immutable>(place);
        if (!locked->ok())
            QSKIP("chattr +i is not available here");
    }

    SafeWriter writer(path);
    writer.setInPlaceFallback(fallback);
    const auto failure = writer.write(QByteArray(5000, 'n'));
    QVERIFY(failure);
    QCOMPARE(int(failure->step), step);
    QVERIFY(!failure->reason.isEmpty());
    if (obstacle != "folder")
        QCOMPARE(readWholeFile(path), old);
    QCOMPARE(entries(place), before);
    locked.reset();
    disk.reset();
}

void TestSafeWriter::producerErrorKeepsOldFile()
{
    TestFolder folder;
    const QString path = folder.filePath("out.txt");
    writeWholeFile(path, "old\n");
    const auto produce = [](const SafeWriter::Sink &sink) {
        sink("half", 4);
        throw std::runtime_error("no more");
    };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, SafeWriter(path).write(produce));
    QCOMPARE(readWholeFile(path), QByteArray("old\n"));
    QCOMPARE(entries(folder.path()), QStringList{"out.txt"});
}

void TestSafeWriter::inPlaceWhereFolderRefuses_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("longer") << QByteArray("[S]\r\nk=longer than before\r\n");
    QTest::newRow("shorter") << QByteArray("[S]\r\n");
    QTest::newRow("several pieces longer") << QByteArray(10000, 'p');
}

void TestSafeWriter::inPlaceWhereFolderRefuses()
{
    QFETCH(QByteArray, content);
    TestFolder folder;
    const QString path = folder.filePath("Tolm.ini");
    writeWholeFile(path, "[S]\r\nk=1\r\n");
    const quint64 inode = inodeOf(path);
    Immutable locked(folder.path());
    if (!locked.ok())
        QSKIP("chattr +i is not available here");

    SafeWriter writer(path);
    writer.setInPlaceFallback(true);
    QVERIFY(!writer.write(inPieces(content, 4096)));
    QCOMPARE(readWholeFile(path), content);
    QCOMPARE(inodeOf(path), inode);
    QCOMPARE(entries(folder.path()), QStringList{"Tolm.ini"});
}

// A replaced file keeps its Windows attributes: a Tolm.ini that the office
// hid stays hidden; a read-only one is refused and stays as it was.
void TestSafeWriter::keepsAttributes()
{
#ifdef Q_OS_WIN
    TestFolder folder;
    const QString path = folder.filePath("Tolm.ini");
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const auto attributes = [&] {
        return GetFileAttributesW(name.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    };
    writeWholeFile(path, "old\r\n");
    QVERIFY(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_HIDDEN));

    QVERIFY(!SafeWriter(path).write(QByteArray("new\r\n")));
    QCOMPARE(readWholeFile(path), QByteArray("new\r\n"));
    QCOMPARE(attributes(), DWORD(FILE_ATTRIBUTE_HIDDEN));
    QCOMPARE(entries(folder.path()), QStringList{"Tolm.ini"});

    QVERIFY(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    QVERIFY(SafeWriter(path).write(QByteArray("newer\r\n")));
    QCOMPARE(readWholeFile(path), QByteArray("new\r\n"));
    QCOMPARE(attributes(), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    QCOMPARE(entries(folder.path()), QStringList{"Tolm.ini"});
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    QSKIP("file attributes are Windows'");
#endif
}

QTEST_GUILESS_MAIN(TestSafeWriter)
#include "test_safewriter.moc"

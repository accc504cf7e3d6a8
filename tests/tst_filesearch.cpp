#include "base/lxFileName.h"
#include "engine/lxFileSearch.h"
#include "engine/lxMatch.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

// The scan and filter with a recording AddFile, as the batch will use them.
class RecordingSearch : public TlxFileSearch {
public:
    QString mask = QStringLiteral("*.ppt?");
    QString regExt;
    int stopAfter = -1; // terminate request after this many files
    QStringList files;

    void AddFile(const QString &path) override {
        if (Accepts(path))
            files << path;
        if (stopAfter >= 0 && files.size() >= stopAfter)
            m_stop = true;
    }
    QString Mask() const override { return mask; }
    QString RegExt() const override { return regExt; }
    bool TerminateRequested() const override { return m_stop; }
    void scan(const QString &folder, bool recurse = true, quint32 allowed = faFilesAll) {
        ScanFolder(folder, mask, recurse, allowed);
    }

private:
    bool m_stop = false;
};

void touch(const QString &path) {
    QVERIFY(TestSupport::writeAll(path, "x"));
}

QStringList relative(const QStringList &paths, const QString &root) {
    QStringList out;
    for (const QString &path : paths)
        out << path.mid(root.size());
    return out;
}

} // namespace

class TestFileSearch : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void wildcardToRegex_data();
    void wildcardToRegex();
    void wildcardMatch_data();
    void wildcardMatch();
    void accepts_data();
    void accepts();
    void acceptsWithoutMatcher();
    void ownerFiles();
    void hiddenFilesAndFolders();
    void linksAndSpecialFiles();
    void scanOrder();
    void namesWithAnyBytes();
    void terminateMidScan();
    void unreadableAndMissingFolders();

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_root;
};

void TestFileSearch::init() {
    m_dir = new QTemporaryDir;
    m_root = m_dir->path() + u'/';
    Matcher = new TlxMatch;
    TlxMatchBase::SkipOwnerFiles = true;
}

void TestFileSearch::cleanup() {
    delete Matcher;
    Matcher = nullptr;
    TestSupport::removeAll(m_dir->path());
    delete m_dir;
}

void TestFileSearch::wildcardToRegex_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("regex");
    QTest::newRow("default mask") << "*.ppt?"
                                  << ".*\\.ppt.?$";
    QTest::newRow("empty") << ""
                           << "$";
    QTest::newRow("plus and parens") << "a+b(1).ppt"
                                     << "a\\+b\\(1\\)\\.ppt$";
    QTest::newRow("anchors, sets, braces") << "^x$[1]{2}"
                                           << "\\^x\\$\\[1\\]\\{2\\}$";
    QTest::newRow("backslash and bar pass") << "a\\.b|c"
                                            << "a\\\\.b|c$";
    QTest::newRow("run of stars") << "a***b*?*"
                                  << "a.*b.*$";
    QTest::newRow("run of question marks") << "a???.ppt?"
                                           << "a.{0,3}\\.ppt.?$";
    QTest::newRow("escaped first wildcard") << "a\\**"
                                            << "a\\.*.*$";
}

void TestFileSearch::wildcardToRegex() {
    QFETCH(QString, mask);
    QFETCH(QString, regex);
    QCOMPARE(WildcardToRegex(mask), regex);
}

void TestFileSearch::wildcardMatch_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("result");
    QTest::newRow("? at the end may be empty") << "a.ppt"
                                               << "*.ppt?" << true;
    QTest::newRow("? one char") << "a.pptx"
                                << "*.ppt?" << true;
    QTest::newRow("? not two chars") << "a.pptxx"
                                     << "*.ppt?" << false;
    QTest::newRow("letter case") << "TALK.PPTM"
                                 << "*.ppt?" << true;
    QTest::newRow("non-ascii case") << "\u00C4RGER.PPT"
                                    << "\u00E4rger.*" << true;
    QTest::newRow("longer extension rejected") << "a.pptx"
                                               << "*.ppt" << false;
    QTest::newRow("? inside needs a char") << "ac"
                                           << "a?c" << false;
    QTest::newRow("? inside") << "abc"
                              << "a?c" << true;
    QTest::newRow("? before dot may be empty") << "a.b"
                                               << "a?.b" << true;
    QTest::newRow("exact name") << "ab.ppt"
                                << "b.ppt" << false;
    QTest::newRow("star dot star") << "noext"
                                   << "*.*" << false;
    QTest::newRow("star") << "noext"
                          << "*" << true;
    QTest::newRow("empty mask") << "a.ppt"
                                << "" << false;
    QTest::newRow("brackets are literal") << "[1].ppt"
                                          << "[1].ppt" << true;
    // Masks around the length where the matcher leaves its stack buffers for the heap.
    for (const int length : {63, 64, 65, 200}) {
        const QString letters(length, u'a');
        QTest::addRow("%d letters, same mask", length) << letters << letters << true;
        QTest::addRow("%d letters, one short", length) << letters.left(length - 1) << letters << false;
        QTest::addRow("%d question marks", length) << letters << QString(length, u'?') << true;
        QTest::addRow("%d letters, star at the end", length) << letters + u'b' << letters + u'*' << true;
        QTest::addRow("%d letters, wrong last", length) << letters.left(length - 1) + u'b' << letters << false;
    }
}

void TestFileSearch::wildcardMatch() {
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QFETCH(bool, result);
    QCOMPARE(TlxFileSearch::WildcardMatch(name, mask), result);
}

void TestFileSearch::accepts_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("regExt");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("result");
    QTest::newRow("ppt rejects pptx") << "*.ppt"
                                      << ""
                                      << "/d/a.pptx" << false;
    QTest::newRow("ppt accepts upper case") << "*.ppt"
                                            << ""
                                            << "/d/A.PPT" << true;
    QTest::newRow("ppt? accepts ppt") << "*.ppt?"
                                      << ""
                                      << "/d/a.ppt" << true;
    QTest::newRow("ppt? accepts pptm") << "*.ppt?"
                                       << ""
                                       << "/d/a.pptm" << true;
    QTest::newRow("ppt? rejects doc") << "*.ppt?"
                                      << ""
                                      << "/d/a.doc" << false;
    QTest::newRow("regext matches folder part") << "*.ppt?"
                                                << "final"
                                                << "/final/a.ppt" << true;
    QTest::newRow("regext not found") << "*.ppt?"
                                      << "final"
                                      << "/docs/a.ppt" << false;
    QTest::newRow("regext ignores case") << "*.ppt?"
                                         << "FINAL"
                                         << "/docs/final.ppt" << true;
    QTest::newRow("broken regext accepts") << "*.ppt?"
                                           << "(unclosed"
                                           << "/docs/a.ppt" << true;
    QTest::newRow("broken regext after mask") << "*.ppt?"
                                              << "[z-a]"
                                              << "/docs/a.doc" << false;
    // Long runs of wildcards once made the expression engine give up, which the filter counts as a match: every
    // file passed, after a long wait each.
    QTest::newRow("many stars reject") << QString(40, u'*') + "abcdef.ppt"
                                       << ""
                                       << "/d/" + QString(60, u'*') + "abcdef.pptx" << false;
    QTest::newRow("many question marks reject") << QString(30, u'?') + "xb"
                                                << ""
                                                << "/d/x" + QString(40, u'a') + "b.ppt" << false;
    QTest::newRow("many question marks accept") << QString(30, u'?') + "xb"
                                                << ""
                                                << "/d/" + QString(20, u'a') + "xb" << true;
    QTest::newRow("empty mask accepts all") << ""
                                            << ""
                                            << "/any/thing" << true;
}

void TestFileSearch::accepts() {
    QFETCH(QString, mask);
    QFETCH(QString, regExt);
    QFETCH(QString, path);
    QFETCH(bool, result);
    RecordingSearch search;
    search.mask = mask;
    search.regExt = regExt;
    QCOMPARE(search.Accepts(path), result);
}

void TestFileSearch::acceptsWithoutMatcher() {
    delete Matcher;
    Matcher = nullptr;
    RecordingSearch search;
    search.mask = QStringLiteral("*.ppt");
    QVERIFY(search.Accepts(QStringLiteral("/d/a.doc")));
    QVERIFY(TlxMatchBase().TestPath(QStringLiteral("x"), QStringLiteral("y")));
}

void TestFileSearch::ownerFiles() {
    touch(m_root + "talk.pptx");
    touch(m_root + "~$talk.pptx");
    touch(m_root + "x~$.pptx");
    RecordingSearch search;
    search.scan(m_root);
    QStringList found = relative(search.files, m_root);
    found.sort();
    QCOMPARE(found, (QStringList{"talk.pptx", "x~$.pptx"}));

    TlxMatchBase::SkipOwnerFiles = false;
    RecordingSearch all;
    all.scan(m_root);
    QCOMPARE(all.files.size(), 3);
}

void TestFileSearch::hiddenFilesAndFolders() {
    touch(m_root + "a.ppt");
    touch(m_root + ".hidden.ppt");
    touch(m_root + ".secret/inner.ppt");
    touch(m_root + "open/.h2.ppt");
    RecordingSearch withHidden;
    withHidden.scan(m_root, true, faFilesAll);
    QStringList found = relative(withHidden.files, m_root);
    found.sort();
    QCOMPARE(found, (QStringList{".hidden.ppt", "a.ppt", "open/.h2.ppt"}));

    RecordingSearch withoutHidden;
    withoutHidden.scan(m_root, true, faFilesNotHidden);
    QCOMPARE(relative(withoutHidden.files, m_root), QStringList{"a.ppt"});
}

void TestFileSearch::linksAndSpecialFiles() {
    touch(m_root + "real/a.ppt");
    touch(m_root + "elsewhere/b.ppt");
    QVERIFY(QFile::link(m_root + "elsewhere", m_root + "real/linkdir"));
    QVERIFY(QFile::link(m_root + "elsewhere/b.ppt", m_root + "real/linkfile.ppt"));
    QVERIFY(QFile::link(m_root + "gone.ppt", m_root + "real/dangling.ppt"));
    QCOMPARE(mkfifo(QFile::encodeName(m_root + "real/pipe.ppt").constData(), 0600), 0);
    RecordingSearch search;
    search.scan(m_root + "real/");
    QStringList found = relative(search.files, m_root + "real/");
    found.sort();
    QCOMPARE(found, (QStringList{"a.ppt", "linkfile.ppt"}));
}

void TestFileSearch::scanOrder() {
    const QStringList files = {"r1.ppt",        "r2.ppt",        "r3.ppt",   "s1/a.ppt",   "s1/b.ppt",
                               "s1/deep/c.ppt", "s1/deep/d.ppt", "s2/e.ppt", "s2/x/f.ppt", "s3/g.ppt"};
    for (const QString &file : files)
        touch(m_root + file);
    RecordingSearch search;
    search.scan(m_root);
    const QStringList found = relative(search.files, m_root);
    QCOMPARE(found.size(), files.size());
    // Every folder's files come first, and everything below a folder forms one unbroken run (depth first).
    const auto runOf = [&](const QString &prefix) {
        QList<int> positions;
        for (int i = 0; i < found.size(); ++i) {
            if (found[i].startsWith(prefix))
                positions << i;
        }
        return positions;
    };
    for (const QString &folder : {QStringLiteral("s1/"), QStringLiteral("s1/deep/"), QStringLiteral("s2/"),
                                  QStringLiteral("s2/x/"), QStringLiteral("s3/")}) {
        const QList<int> run = runOf(folder);
        QVERIFY2(!run.isEmpty() && run.last() - run.first() == run.size() - 1, qPrintable(found.join(u' ')));
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY2(!found[i].contains(u'/'), qPrintable(found.join(u' ')));
    const QList<int> s1 = runOf(QStringLiteral("s1/"));
    QVERIFY(!found[s1[0]].startsWith(QStringLiteral("s1/deep/")) &&
            !found[s1[1]].startsWith(QStringLiteral("s1/deep/")));

    RecordingSearch flat;
    flat.scan(m_root, false);
    QCOMPARE(flat.files.size(), 3);
}

// Every name the file system holds is found and handed on so that its bytes can be had again, whatever the
// mask and the extra expression see.
void TestFileSearch::namesWithAnyBytes() {
    const QList<QByteArray> names = {"Pr\xe4sentation.pptx", "bad\xff\xfe.ppt", "cut\xe4\xb8.ppt",
                                     "\xc3\xa4 valid.pptx",  "a;b,c=d.pptx",    "-lead.ppt",
                                     "\"quoted\" 'x'.ppt",   "two  spaces.ppt", "\xe4\xb8\xad\xe6\x96\x87.pptx"};
    const QByteArray root = TlxFileName::Encode(m_root);
    QVERIFY(::mkdir(root + "Ordner \xc4", 0700) == 0);
    QList<QByteArray> expected;
    for (const QByteArray &name : names) {
        for (const QByteArray &folder : {QByteArray(), QByteArray("Ordner \xc4/")}) {
            const QByteArray path = root + folder + name;
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
            QVERIFY2(fd >= 0, path.constData());
            ::close(fd);
            expected << path;
        }
    }
    RecordingSearch search;
    search.regExt = QStringLiteral("\\.pptx?$");
    search.scan(m_root);
    QList<QByteArray> found;
    for (const QString &path : std::as_const(search.files)) {
        found << TlxFileName::Encode(path);
        QVERIFY(TlxFileName::IsFile(path));
    }
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    QCOMPARE(found, expected);
}

void TestFileSearch::terminateMidScan() {
    for (int folder = 0; folder < 5; ++folder) {
        for (int file = 0; file < 4; ++file)
            touch(m_root + QStringLiteral("f%1/n%2.ppt").arg(folder).arg(file));
    }
    RecordingSearch search;
    search.stopAfter = 6; // in the second folder visited
    search.scan(m_root);
    QCOMPARE(search.files.size(), 6);
    QStringList folders;
    for (const QString &file : std::as_const(search.files)) {
        const QString folder = file.mid(m_root.size()).section(u'/', 0, 0);
        if (!folders.contains(folder))
            folders << folder;
    }
    QCOMPARE(folders.size(), 2);
}

void TestFileSearch::unreadableAndMissingFolders() {
    RecordingSearch missing;
    missing.scan(m_root + "nothing/here/");
    QVERIFY(missing.files.isEmpty());

    touch(m_root + "ok/a.ppt");
    touch(m_root + "locked/b.ppt");
    QVERIFY(QFile::setPermissions(m_root + "locked", QFileDevice::Permissions()));
    RecordingSearch search;
    search.scan(m_root);
    QFile::setPermissions(m_root + "locked", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (geteuid() == 0)
        QSKIP("running as root: permissions do not stop the listing");
    QCOMPARE(relative(search.files, m_root), QStringList{"ok/a.ppt"});
}

QTEST_GUILESS_MAIN(TestFileSearch)
#include "tst_filesearch.moc"

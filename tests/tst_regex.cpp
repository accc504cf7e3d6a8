#include "regex/VBScriptRegex.h"

#include <QSet>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

class TestRegex : public QObject {
    Q_OBJECT

private slots:
    void errorTable();
    void fromCode_data();
    void fromCode();
    void faultyPattern_data();
    void faultyPattern();
    void isMatch_data();
    void isMatch();
    void replaceFirst_data();
    void replaceFirst();
    void replacementSyntax_data();
    void replacementSyntax();
    void globalDoesNotLeak();
    void matchesAndSubMatches();
    void emptyMatchesAdvance();
    void objectKeepsOptions();
    void threadsShareNothing();
};

void TestRegex::errorTable() {
    QCOMPARE(VBScriptErrorCount, 43);
    QCOMPARE(VBScriptErrors[0].Code, 429);
    QCOMPARE(QString::fromLatin1(VBScriptErrors[0].Msg), QStringLiteral("ActiveX component can't create object"));
    QCOMPARE(VBScriptErrors[42].Code, 450);
    QCOMPARE(QString::fromLatin1(VBScriptErrors[42].Msg),
             QStringLiteral("Wrong number of arguments or invalid property assignment"));
    QSet<qint32> codes;
    for (int i = 0; i < VBScriptErrorCount; ++i) {
        codes << VBScriptErrors[i].Code;
        if (i > 0) // stored alphabetically by message
            QVERIFY(qstrcmp(VBScriptErrors[i - 1].Msg, VBScriptErrors[i].Msg) < 0);
    }
    QCOMPARE(codes.size(), 43);
}

void TestRegex::fromCode_data() {
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("5017") << qint32(5017) << QStringLiteral("Syntax error in regular expression");
    QTest::newRow("5017 with high bits") << qint32(0x800A1399) << QStringLiteral("Syntax error in regular expression");
    QTest::newRow("5018 other high bits") << qint32(0x0065139A) << QStringLiteral("Unexpected quantifier");
    QTest::newRow("5019") << qint32(5019) << QStringLiteral("Expected ']' in regular expression");
    QTest::newRow("5020") << qint32(5020) << QStringLiteral("Expected ')' in regular expression");
    QTest::newRow("5021") << qint32(5021) << QStringLiteral("Invalid range in character set");
    QTest::newRow("not in table") << qint32(0x00301234) << QStringLiteral("engine says no");
    QTest::newRow("zero") << qint32(0) << QStringLiteral("engine says no");
}

void TestRegex::fromCode() {
    QFETCH(qint32, code);
    QFETCH(QString, message);
    const ERegexException e = ERegexException::FromCode(code, QStringLiteral("engine says no"));
    QCOMPARE(e.Message(), message);
    QCOMPARE(e.ErrorCode(), code);
}

void TestRegex::faultyPattern_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("key");
    QTest::newRow("missing paren") << QStringLiteral("(ab") << 5020;
    QTest::newRow("missing bracket") << QStringLiteral("[ab") << 5019;
    QTest::newRow("range order") << QStringLiteral("[z-a]") << 5021;
    QTest::newRow("leading quantifier") << QStringLiteral("*.ppt") << 5018;
    QTest::newRow("trailing backslash") << QStringLiteral("ab\\") << 5017;
    QTest::newRow("bad group syntax") << QStringLiteral("(?<") << 5017;
}

void TestRegex::faultyPattern() {
    QFETCH(QString, pattern);
    QFETCH(int, key);
    // Making the object never fails: the pattern is checked by the searching operations.
    const auto re = Regex::New(pattern, rxIgnoreCase);
    QCOMPARE(re->Pattern(), pattern);
    for (int op = 0; op < 5; ++op) {
        try {
            switch (op) {
            case 0:
                re->IsMatch(QStringLiteral("x"));
                break;
            case 1:
                re->Match(QStringLiteral("x"));
                break;
            case 2:
                re->Matches(QStringLiteral("x"));
                break;
            case 3:
                re->Replace(QStringLiteral("x"), QString());
                break;
            default:
                Regex::IsMatch(pattern, 0, QStringLiteral("x"));
                break;
            }
            QFAIL("no exception");
        } catch (const ERegexException &e) {
            QCOMPARE(e.ErrorCode() & 0xFFFF, key);
            QVERIFY(e.ErrorCode() >> 16 != 0); // the engine's own number is kept above the table's
            QCOMPARE(e.Message(), ERegexException::FromCode(key, QString()).Message());
        }
    }
}

void TestRegex::isMatch_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("result");
    QTest::newRow("ignore case") << ".*\\.ppt.?$" << int(rxIgnoreCase) << "/IN/TALK.PPTX" << true;
    QTest::newRow("case sensitive") << ".*\\.ppt.?$" << 0 << "/IN/TALK.PPTX" << false;
    QTest::newRow("unicode case") << "\u00e4rger" << int(rxIgnoreCase) << "/x/\u00c4RGER.ppt" << true;
    QTest::newRow("search, no anchors") << "final" << 0 << "/data/final/a.ppt" << true;
    QTest::newRow("end anchor only") << "b\\.ppt$" << 0 << "/x/ab.ppt" << true;
    QTest::newRow("end anchor, trailing text") << "b\\.ppt$" << 0 << "/x/ab.ppt.bak" << false;
    QTest::newRow("dollar is the very end") << "ppt$" << 0 << "a.ppt\n" << false;
    QTest::newRow("start anchor") << "^/x" << 0 << "/y/x" << false;
    QTest::newRow("multiline off") << "^b" << 0 << "a\nb" << false;
    QTest::newRow("multiline on") << "^b" << int(rxMultiline) << "a\nb" << true;
    QTest::newRow("unicode escape") << "\\u0041" << 0 << "xAx" << true;
    QTest::newRow("empty class never matches") << "[]" << 0 << "abc" << false;
    QTest::newRow("negated empty class") << "a[^]c" << 0 << "a\nc" << true;
    QTest::newRow("unset backreference") << "(a)?\\1b" << 0 << "b" << true;
    QTest::newRow("counted repetition") << "^a{2,3}$" << 0 << "aaa" << true;
    QTest::newRow("alternation and groups") << "\\.(ppt|pps)x?$" << int(rxIgnoreCase) << "A.PPSX" << true;
    QTest::newRow("lone surrogate in input") << "\\.ppt$" << 0 << QString(QChar(0xD800)) + ".ppt" << true;
    QTest::newRow("empty pattern") << "" << 0 << "anything" << true;
}

void TestRegex::isMatch() {
    QFETCH(QString, pattern);
    QFETCH(int, flags);
    QFETCH(QString, input);
    QFETCH(bool, result);
    QCOMPARE(Regex::IsMatch(pattern, TRegexFlags(flags), input), result);
    QCOMPARE(Regex::New(pattern, TRegexFlags(flags))->IsMatch(input), result);
}

void TestRegex::replaceFirst_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("result");
    QTest::newRow("file url, three slashes") << "^file:/*"
                                             << "file:///home/a.ppt"
                                             << ""
                                             << "home/a.ppt";
    QTest::newRow("file url, two slashes") << "^file:/*"
                                           << "file://server/share/a.ppt"
                                           << ""
                                           << "server/share/a.ppt";
    QTest::newRow("file url, many slashes") << "^file:/*"
                                            << "file://///x"
                                            << ""
                                            << "x";
    QTest::newRow("file url, no slash") << "^file:/*"
                                        << "file:x"
                                        << ""
                                        << "x";
    QTest::newRow("only prefix") << "^file:/*"
                                 << "file:///"
                                 << ""
                                 << "";
    QTest::newRow("no prefix") << "^file:/*"
                               << "/home/a.ppt"
                               << ""
                               << "/home/a.ppt";
    QTest::newRow("prefix not at start") << "^file:/*"
                                         << "/x/file:/a"
                                         << ""
                                         << "/x/file:/a";
    QTest::newRow("case-sensitive") << "^file:/*"
                                    << "FILE:///a"
                                    << ""
                                    << "FILE:///a";
    QTest::newRow("first match only") << "a"
                                      << "banana"
                                      << "o"
                                      << "bonana";
}

void TestRegex::replaceFirst() {
    QFETCH(QString, pattern);
    QFETCH(QString, input);
    QFETCH(QString, replacement);
    QFETCH(QString, result);
    QCOMPARE(Regex::Replace(pattern, input, replacement), result);
}

void TestRegex::replacementSyntax_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("result");
    // Input is always "John Smith", replaced throughout.
    QTest::newRow("groups") << "(\\w+)\\s(\\w+)"
                            << "$2, $1"
                            << "Smith, John";
    QTest::newRow("whole match") << "Smith"
                                 << "[$&]"
                                 << "John [Smith]";
    QTest::newRow("dollar") << "Smith"
                            << "$$"
                            << "John $";
    QTest::newRow("before and after") << " "
                                      << "<$`|$'>"
                                      << "John<John|Smith>Smith";
    QTest::newRow("missing group is literal") << "(J)"
                                              << "$2$1"
                                              << "$2John Smith";
    QTest::newRow("two digits") << "(J)"
                                << "$01$10"
                                << "JJ0ohn Smith";
    QTest::newRow("zero is literal") << "(J)"
                                     << "$0"
                                     << "$0ohn Smith";
    QTest::newRow("unset group is empty") << "(x)?J"
                                          << "[$1]"
                                          << "[]ohn Smith";
    QTest::newRow("lone dollar") << "J"
                                 << "$"
                                 << "$ohn Smith";
    QTest::newRow("unknown escape") << "J"
                                    << "$x"
                                    << "$xohn Smith";
}

void TestRegex::replacementSyntax() {
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(QString, result);
    QCOMPARE(Regex::New(pattern)->ReplaceAll(QStringLiteral("John Smith"), replacement), result);
}

void TestRegex::globalDoesNotLeak() {
    const auto re = Regex::New(QStringLiteral("o"));
    QCOMPARE(re->Matches(QStringLiteral("foo boo"))->Count(), 4);
    QCOMPARE(re->Match(QStringLiteral("foo boo"))->Count(), 1);
    QCOMPARE(re->ReplaceAll(QStringLiteral("foo boo"), QStringLiteral("0")), QStringLiteral("f00 b00"));
    QCOMPARE(re->Replace(QStringLiteral("foo boo"), QStringLiteral("0")), QStringLiteral("f0o boo"));
    QCOMPARE(re->Matches(QStringLiteral("foo boo"))->Count(), 4);
    QVERIFY(re->IsMatch(QStringLiteral("o")));
    QCOMPARE(re->Match(QStringLiteral("foo boo"))->Count(), 1);
}

void TestRegex::matchesAndSubMatches() {
    const auto matches = Regex::New(QStringLiteral("(\\d+)(x)?"), rxIgnoreCase)->Matches(QStringLiteral("a12X b3"));
    QCOMPARE(matches->Count(), 2);
    const auto first = matches->Item(0);
    QCOMPARE(first->Value(), QStringLiteral("12X"));
    QCOMPARE(first->FirstIndex(), 1);
    QCOMPARE(first->Length(), 3);
    QCOMPARE(first->SubMatches()->Count(), 2);
    QCOMPARE(first->SubMatches()->Item(0).toString(), QStringLiteral("12"));
    QCOMPARE(first->SubMatches()->Item(1).toString(), QStringLiteral("X"));
    const auto second = matches->Item(1);
    QCOMPARE(second->FirstIndex(), 6);
    QVERIFY(!second->SubMatches()->Item(1).isValid()); // a group that took no part
    QVERIFY_THROWS_EXCEPTION(ERegexException, matches->Item(2));
    QVERIFY_THROWS_EXCEPTION(ERegexException, first->SubMatches()->Item(-1));
    QCOMPARE(Regex::New(QStringLiteral("q"))->Matches(QStringLiteral("abc"))->Count(), 0);
}

void TestRegex::emptyMatchesAdvance() {
    QCOMPARE(Regex::New(QStringLiteral("x*"))->ReplaceAll(QStringLiteral("abc"), QStringLiteral("-")),
             QStringLiteral("-a-b-c-"));
    // A surrogate pair is stepped over as one character.
    const QString face = QStringLiteral("\U0001F600");
    QCOMPARE(Regex::New(QString())->Matches(face)->Count(), 2);
    QCOMPARE(Regex::New(QStringLiteral("$"))->ReplaceAll(QStringLiteral("ab"), QStringLiteral("!")),
             QStringLiteral("ab!"));
}

void TestRegex::objectKeepsOptions() {
    const auto re = Regex::New(QStringLiteral("^A"), rxIgnoreCase | rxMultiline);
    QVERIFY(re->IgnoreCase());
    QVERIFY(re->Multiline());
    QVERIFY(re->IsMatch(QStringLiteral("x\na")));
    const auto plain = Regex::New(QStringLiteral("^A"));
    QVERIFY(!plain->IgnoreCase());
    QVERIFY(!plain->Multiline());
    QVERIFY(!plain->IsMatch(QStringLiteral("x\na")));
}

void TestRegex::threadsShareNothing() {
    // Many threads testing and replacing with the same and different patterns at once: per-thread caches must
    // give every thread the same answers as a single thread.
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 2000; ++i) {
                const QString pattern =
                    QStringLiteral(".*\\.ppt%1$").arg(i % 20 == 0 ? QString() : QStringLiteral(".?"));
                if (!Regex::IsMatch(pattern, rxIgnoreCase, QStringLiteral("/d/%1/A.PPTX").arg(t)) && i % 20 != 0)
                    ++wrong;
                if (Regex::Replace(QStringLiteral("^file:/*"), QStringLiteral("file:///t%1").arg(i), QString()) !=
                    QStringLiteral("t%1").arg(i))
                    ++wrong;
                try {
                    Regex::IsMatch(QStringLiteral("(%1").arg(i % 3), 0, QStringLiteral("x"));
                    ++wrong;
                } catch (const ERegexException &) {
                }
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    QCOMPARE(wrong.load(), 0);
}

QTEST_GUILESS_MAIN(TestRegex)
#include "tst_regex.moc"

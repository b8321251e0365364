#include "UCommon.h"

#include "MessageBox.h"
#include "ScriptedMessageBoxes.h"

#include <QBuffer>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kvos;

TEST(ExtractDelimitedItems, Table)
{
    struct Case { QString text, sep; int from, to; QString expected; };
    const Case cases[] = {
        {"a|b|c", "|", 2, 0, "b"},
        {"a|b|c", "|", 2, 3, "b|c"},
        {"a|b|c", "|", 3, 2, "b|c"},
        {"a|b|c", "|", 1, 0, "a"},
        {"a|b|c", "|", 0, 0, ""},
        {"a|b|c", "|", -1, 2, "a|b"},
        {"a|b|c", "|", 4, 0, ""},
        {"a|b|c", "|", 2, 9, "b|c"},
        {" a | b ", "|", 2, 0, "b"},
        {"aXYbxyc", "xy", 2, 0, "b"},     // separator of two characters, case ignored
        {"", "|", 1, 0, ""},
        {"|x|", "|", 1, 0, ""},
        {"|x|", "|", 2, 0, "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExtractDelimitedItems(c.text, c.sep, c.from, c.to), c.expected)
            << c.text.toStdString() << " " << c.from << ".." << c.to;
}

TEST(DelimitedValues, ReadWriteContains)
{
    const QString S = QStringLiteral("\uF8F5\uF8F5");
    const QString list = "[Fields]=a,b" + S + "[Sorts]=x" + S + "[Total]=1";
    EXPECT_EQ(ReadDelimitedValue(list, "[sorts]", S), "x");
    EXPECT_EQ(ReadDelimitedValue(list, "[Total]", S), "1");
    EXPECT_EQ(ReadDelimitedValue(list, "[Filter]", S), "");
    EXPECT_EQ(ReadDelimitedValue(list, "", S), "");

    struct Case { QString list, name, value, expected; };
    const Case cases[] = {
        {"a=1|b=2|c=3", "B", "9", "a=1|b=9|c=3"},   // replaced in place, key's case kept
        {"a=1|b=2|c=3", "b", "", "a=1|c=3"},        // removed with its separator
        {"a=1|b=2|c=3", "c", "", "a=1|b=2|"},       // last item goes, separator before stays
        {"a=1|b=2", "d", "4", "a=1|b=2|d=4"},       // appended
        {"a=1|", "d", "4", "a=1|d=4"},              // no doubled separator
        {"", "d", "4", "d=4"},
        {"a=1", "d", "", "a=1"},                    // nothing to remove
        {"a=1", "", "x", "a=1"},                    // empty name
        {"ab=1|a=2", "a", "5", "ab=1|a=5"},         // the key includes "=", so ab does not match a
    };
    for (const Case& c : cases)
        EXPECT_EQ(WriteDelimitedValue(c.list, c.name, c.value, "|"), c.expected) << c.list.toStdString();

    EXPECT_TRUE(DelimitedListContains("|ID1|id2|", "ID2", "|"));
    EXPECT_FALSE(DelimitedListContains("|ID1|id2|", "ID", "|"));
    EXPECT_FALSE(DelimitedListContains("", "x", "|"));
}

TEST(HexText, StreamRoundTrip)
{
    QByteArray data("\x00\xFF\x1A", 3);
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    EXPECT_EQ(StreamToHexText(in, -1), "00FFA1");
    in.seek(1);
    EXPECT_EQ(StreamToHexText(in, 1), "FF");
    EXPECT_EQ(StreamToHexText(in, 0), "");

    struct Case { QString hex; QByteArray bytes; };
    const Case cases[] = {
        {"F1", QByteArray("\x1F", 1)},
        {"f1a", QByteArray("\x1F", 1)},          // odd last digit ignored
        {"", QByteArray()},
        {"zz", QByteArray("\x00", 1)},           // no hex digit counts as 0
        {"00FFA1", QByteArray("\x00\xFF\x1A", 3)},
    };
    for (const Case& c : cases) {
        QByteArray out;
        QBuffer b(&out);
        b.open(QIODevice::WriteOnly);
        HexTextToStream(c.hex, b);
        EXPECT_EQ(out, c.bytes) << c.hex.toStdString();
    }
}

TEST(Conditions, CombineAndChoice)
{
    EXPECT_EQ(CombineConditions("  ", "x=1", "and"), "x=1");
    EXPECT_EQ(CombineConditions(" a=1 ", "", "and"), "a=1");
    EXPECT_EQ(CombineConditions("a=1", "b=2", "and"), "(a=1) and (b=2)");
    EXPECT_EQ(CombineConditions("a=1", " b=2", "or"), "(a=1) or ( b=2)");
    EXPECT_EQ(IfNullVariant(QVariant(), 5).toInt(), 5);
    EXPECT_EQ(IfNullVariant(QVariant(QMetaType::fromType<int>()), 5).toInt(), 5);
    EXPECT_EQ(IfNullVariant(0, 5).toInt(), 0);
    EXPECT_EQ(IIfString(false, "a", "b"), "b");
    EXPECT_EQ(IIfInteger(true, 1, 2), 1);
}

TEST(BaseText, ConversionsAndRange)
{
    EXPECT_EQ(IntToBaseText(255, 16, 4), "00FF");
    EXPECT_EQ(IntToBaseText(0, 36, 0), "0");
    EXPECT_EQ(IntToBaseText(35, 36, 0), "Z");
    EXPECT_EQ(IntToBaseText(4294967295u, 2, 0), QString(32, u'1'));
    EXPECT_EQ(IntToBaseText(5, 10, 3), "005");
    EXPECT_THROW(IntToBaseText(1, 1, 0), EConvertError);
    EXPECT_THROW(IntToBaseText(1, 37, 0), EConvertError);
    EXPECT_EQ(BaseTextToInt(" ff ", 16), 255u);
    EXPECT_EQ(BaseTextToInt("z", 36), 35u);
    EXPECT_EQ(BaseTextToInt("", 16), 0u);
    EXPECT_EQ(BaseTextToInt(IntToBaseText(123456, 36, 7), 36), 123456u);
}

TEST(FloatLiterals, ShortestTextWithoutExponent)
{
    struct Case { double value; QString text; };
    const Case cases[] = {
        {0.1, "0.1"}, {3.0, "3"}, {-2.5, "-2.5"}, {1e20, "100000000000000000000"}, {1e-7, "0.0000001"},
        {0.1 + 0.2, "0.30000000000000004"}, {123456.75, "123456.75"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToLiteralText(c.value), c.text) << c.value;
}

TEST(Scrambling, BytesAndHexText)
{
    // 00 xor 55 = 01 01 01 01 -> swap of bit pairs keeps it 55; 00 xor AA = AA likewise
    EXPECT_EQ(ScrambleBytes(QByteArray("\x00\x00", 2)), QByteArray("\x55\xAA"));
    // 0x30 at position 1: 30^55 = 65 = 01 10 01 01 -> pairs 5-4 and 3-2 swap -> 01 01 10 01 = 59
    EXPECT_EQ(ScrambleBytes(QByteArray("\x30", 1)), QByteArray("\x59"));
    const QByteArray plain = QStringLiteral("别名\uF8F5user").toUtf8();
    EXPECT_EQ(ScrambleBytes(ScrambleBytes(plain)), plain);

    // Build the stored hex text the other way round and read it back.
    for (const QString& key : {QStringLiteral("1A2B3C4D"), QString()}) {
        const QByteArray s = ScrambleBytes(plain);
        QString hex;
        for (qsizetype k = 1; k <= s.size(); ++k) {
            unsigned b = static_cast<unsigned char>(s[k - 1]);
            b ^= key.isEmpty() ? 0xFFu : (key[k % key.size()].unicode() & 0xFFu);
            hex += IntToBaseText(b, 16, 2);
        }
        EXPECT_EQ(UnscrambleHexText(hex, key), plain);
    }
    EXPECT_EQ(UnscrambleHexText("", "k"), QByteArray());
}

TEST(ProcessDates, Formats)
{
    EXPECT_EQ(DateToStr(QDate(2026, 1, 5)), "2026/01/05");
    EXPECT_EQ(DateTimeToStr(QDateTime(QDate(2026, 1, 5), QTime(18, 0, 7))), "2026/01/05 18:00:07");
    EXPECT_EQ(DateTimeToStr(QDateTime(QDate(2026, 1, 5), QTime(0, 0))), "2026/01/05");
    EXPECT_EQ(StrToDateTime("2026/1/5 8:05"), QDateTime(QDate(2026, 1, 5), QTime(8, 5)));
    EXPECT_EQ(StrToDateTime("2026/01/05"), QDateTime(QDate(2026, 1, 5), QTime(0, 0)));
    EXPECT_FALSE(StrToDateTime("2026-01-05").isValid());
    EXPECT_FALSE(StrToDateTime("2026/02/30").isValid());
}

TEST(MessageBoxes, CaptionsIconsButtonsAndDefaults)
{
    struct Case {
        int (*show)(const QString&, int);
        int buttons;
        QString caption;
        unsigned icon;
        QList<int> shownButtons;
        int defaultButton;
    };
    const Case cases[] = {
        {ShowWarning, -1, "警告", MB_ICONWARNING, {IDOK}, IDOK},
        {ShowInfo, -1, "信息", MB_ICONINFORMATION, {IDOK}, IDOK},
        {ShowError, -1, "错误", MB_ICONERROR, {IDOK}, IDOK},
        {ShowWarning, int(MB_OKCANCEL | MB_DEFBUTTON2), "警告", MB_ICONWARNING, {IDOK, IDCANCEL}, IDCANCEL},
        {ShowQuestion, int(MB_YESNO | MB_DEFBUTTON2), "疑问", MB_ICONQUESTION, {IDYES, IDNO}, IDNO},
        {ShowQuestion, int(MB_YESNOCANCEL), "疑问", MB_ICONQUESTION, {IDYES, IDNO, IDCANCEL}, IDYES},
    };
    for (const Case& c : cases) {
        ScriptedMessageBoxes boxes;   // answers with the default button, as Enter does
        const int result = c.show("text", c.buttons);
        ASSERT_EQ(boxes.shown.size(), 1);
        const ShownBox& box = boxes.shown.first();
        EXPECT_EQ(box.caption, c.caption);
        EXPECT_EQ(box.text, "text");
        EXPECT_EQ(box.icon(), c.icon);
        EXPECT_EQ(box.buttons(), c.shownButtons);
        EXPECT_EQ(box.defaultButton(), c.defaultButton);
        EXPECT_EQ(result, c.defaultButton);
    }
}

TEST(MessageBoxes, RealBoxEnterPressesDefault)
{
    // The widget box itself: Enter on a Yes/No question with No as default answers No.
    QTimer::singleShot(0, [] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ShowQuestion("继续?", int(MB_YESNO | MB_DEFBUTTON2)), IDNO);
}

TEST(ExceptionMessages, AbortSilentOthersShown)
{
    ScriptedMessageBoxes boxes;
    ShowExceptionMessage(EAbort());
    EXPECT_TRUE(boxes.shown.isEmpty());
    ShowExceptionMessage(Exception("磁盘已满"));
    ShowExceptionMessage(std::runtime_error("boom"));
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, "程序执行出现错误!\r\r原因: 磁盘已满");
    EXPECT_EQ(boxes.shown[0].caption, "错误");
    EXPECT_EQ(boxes.shown[0].buttons(), QList<int>{IDOK});
    EXPECT_EQ(boxes.shown[1].text, "程序执行出现错误!\r\r原因: boom");
    EXPECT_EQ(FormatMessage(UCommonText::DatabaseError, {"对象名无效", 208}), "错误: 对象名无效 (错误号: 208)");
}

class TPrintSettingsProbe : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Title MEMBER Title)
    Q_PROPERTY(int Copies MEMBER Copies)
    Q_PROPERTY(bool Footers MEMBER Footers)
    Q_PROPERTY(Qt::Orientation Orientation MEMBER Orientation)
public:
    Q_INVOKABLE explicit TPrintSettingsProbe(QObject* parent = nullptr) : QObject(parent) {}
    QString Title;
    int Copies = 1;
    bool Footers = true;
    Qt::Orientation Orientation = Qt::Horizontal;
};

TEST(ComponentText, RoundTripAndFailures)
{
    RegisterComponentClass(&TPrintSettingsProbe::staticMetaObject);
    TPrintSettingsProbe src;
    src.setObjectName("Link1");
    src.Title = "物料'清单'\r\n第二行";
    src.Copies = 3;
    src.Footers = false;
    src.Orientation = Qt::Vertical;
    auto* child = new TPrintSettingsProbe(&src);
    child->setObjectName("Page");
    child->Title = "页眉";
    const QString text = ComponentToText(&src);
    EXPECT_TRUE(text.startsWith("object Link1: TPrintSettingsProbe\n")) << text.toStdString();

    TPrintSettingsProbe dst;
    EXPECT_EQ(TextToComponent(text, &dst), &dst);
    EXPECT_EQ(dst.objectName(), "Link1");
    EXPECT_EQ(dst.Title, src.Title);
    EXPECT_EQ(dst.Copies, 3);
    EXPECT_FALSE(dst.Footers);
    EXPECT_EQ(dst.Orientation, Qt::Vertical);
    auto* page = dst.findChild<TPrintSettingsProbe*>("Page");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Title, "页眉");

    // nil target: a new object of the stored class
    std::unique_ptr<QObject> made(TextToComponent(text, nullptr));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(qobject_cast<TPrintSettingsProbe*>(made.get())->Copies, 3);

    // failures leave the target untouched
    TPrintSettingsProbe untouched;
    untouched.Copies = 7;
    for (const QString& bad : {QString(), QString("garbage"), QString("object X: TPrintSettingsProbe\n  Copies = '2'\n"),
                              QString("object X: QTimer\nend\n"), QString("object X: TPrintSettingsProbe\n  Copies = 2\nend\n")}) {
        EXPECT_EQ(TextToComponent(bad, &untouched), &untouched);
        EXPECT_EQ(untouched.Copies, 7) << bad.toStdString();
    }
    EXPECT_EQ(ComponentToText(nullptr), "");
}

#include "test_UCommon.moc"

// The checks before paper: each rule with a declaration that passes and one that fails.
#include "DeclarationChecks.h"

#include <QTest>

using Texts = QList<QPair<int, QString>>;

class DeclarationChecksTest : public QObject {
    Q_OBJECT
private slots:
    void rules_data() {
        QTest::addColumn<Texts>("texts");
        QTest::addColumn<QList<int>>("found");
        QTest::addColumn<QString>("message"); // of the first finding, on the import form
        const auto row = [](const char* name, const Texts& texts, const QList<int>& found,
                            const char* message = "") {
            QTest::newRow(name) << texts << found << QString::fromUtf8(message);
        };
        row("nothing filled", {}, {});
        row("numbers of 18 characters", {{0, "123456789012345678"}, {1, " 22012024I000123456 "}},
            {});
        row("a number of 17", {{0, "12345678901234567"}}, {0}, "预录入编号：应为18位");
        row("commodity codes of 10 and 8 digits", {{42, "8471300000"}, {55, "84713000"}}, {});
        row("a code of 9 digits on line 5", {{58, "847130000"}}, {58},
            "第5行商品编号：应为10位数字（8位亦可）");
        row("a code with a letter on line 3", {{74, "84713000A0"}}, {74});
        row("总价 is 数量 × 单价",
            {{44, "1,000千克\r\n20箱"}, {45, "美国(502)\r\n12.35"}, {46, "12350"}}, {});
        row("a cent off is rounding", {{53, "3个"}, {52, "日本 2.50"}, {51, "7.51"}}, {});
        row("two cents off on line 2", {{53, "3个"}, {52, "日本 2.50"}, {51, "7.52"}}, {51},
            "第2行总价：不等于数量×单价");
        row("no unit price, no sum", {{76, "5"}, {78, "99"}}, {});
        row("net as heavy as gross", {{26, "100"}, {27, "100"}}, {});
        row("net above gross", {{26, "100.5"}, {27, "101千克"}}, {27}, "净重(公斤)：大于毛重");
        row("packages whole", {{24, "12"}}, {});
        row("no packages", {{24, "0"}}, {24}, "件数：应为大于0的整数");
        row("half a package", {{24, "2.5"}}, {24});
        row("dates three ways", {{4, "2024-02-29"}, {5, "20240301"}, {39, "2024.03.01"}}, {});
        row("two separators", {{4, "2024-03.01"}}, {4},
            "进口日期：不是日期（YYYY-MM-DD、YYYYMMDD或YYYY.MM.DD）");
        row("no such day", {{5, "2023-02-29"}}, {5});
        row("a known code", {{7, "2 水路运输"}}, {});
        row("an unknown code", {{7, "9 其他"}}, {7}, "运输方式：开头的代码不在代码表中");
        row("a box without a code table", {{6, "9 其他"}}, {});
        row("in box order", {{39, "x"}, {24, "-1"}, {0, "1"}}, {0, 24, 39});
    }
    void rules() {
        QFETCH(Texts, texts);
        QFETCH(QList<int>, found);
        QFETCH(QString, message);
        DeclarationTexts declaration;
        for (const auto& [box, text] : texts)
            declaration[static_cast<std::size_t>(box)] = text;
        // Box 7 alone has a code table here, whose codes begin with 1 to 5.
        const KnownCode known = [](int box, const QString& text) -> std::optional<bool> {
            if (box != 7)
                return std::nullopt;
            return text.front() >= u'1' && text.front() <= u'5';
        };
        const auto findings = DeclarationChecks::check(declaration, Mode::Import, known);
        QList<int> boxes;
        for (const CheckFinding& f : findings)
            boxes.append(f.box);
        QCOMPARE(boxes, found);
        if (!message.isEmpty())
            QCOMPARE(findings.front().message, message);
    }
};

QTEST_MAIN(DeclarationChecksTest)
#include "tst_declarationchecks.moc"

#include "DeclarationChecks.h"

#include "Form.h"

#include <QDate>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace DeclarationChecks {
namespace {

// Fields the rules read, by box index.
namespace Field {
constexpr int PreEntryNumber = 0;
constexpr int CustomsNumber = 1;
constexpr int ExportImportDate = 4;
constexpr int DeclarationDate = 5;
constexpr int Packages = 24;
constexpr int GrossWeight = 26;
constexpr int NetWeight = 27;
constexpr int DateFilledIn = 39;
} // namespace Field

// Columns of a goods line, as Catalogue::goodsLines() orders them.
enum GoodsColumn { Item, CommodityCode, Description, Quantity, UnitPrice, Total, Currency, Levy };

struct Context {
    const DeclarationTexts& texts;
    const KnownCode& knownCode;
    QString text(int box) const { return texts[static_cast<std::size_t>(box)].trimmed(); }
    // A box of the same goods line as `box`.
    int sameLine(int box, GoodsColumn column) const {
        const Catalogue::GoodsPosition at = Catalogue::goodsPosition(box);
        return Catalogue::goodsLines()[static_cast<std::size_t>(at.line - 1)]
                                      [static_cast<std::size_t>(column)];
    }
};

// Which boxes a rule looks at: one box, one column of every goods line, or every box.
struct Target {
    int box = -1;
    int goodsColumn = -1;
};
constexpr Target box(int index) {
    return {index, -1};
}
constexpr Target goods(GoodsColumn column) {
    return {-1, column};
}
constexpr Target everyBox() {
    return {};
}

// True when the (non-empty, trimmed) text of `box` is acceptable.
using Passes = bool (*)(const Context& context, int box, const QString& text);

struct Rule {
    Target target;
    Passes passes;
    const char16_t* message;
};

// The decimal numbers of a text; thousands commas inside a number are allowed.
const QRegularExpression& numberPattern() {
    static const QRegularExpression pattern(
        QStringLiteral("[0-9]{1,3}(?:,[0-9]{3})+(?:\\.[0-9]+)?|[0-9]+(?:\\.[0-9]+)?|\\.[0-9]+"));
    return pattern;
}

double toNumber(QStringView digits) {
    QString plain = digits.toString();
    plain.remove(u',');
    return plain.toDouble();
}

std::optional<double> leadingNumber(const QString& text) {
    const QRegularExpressionMatch m = numberPattern().match(
        text, 0, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
    if (!m.hasMatch())
        return std::nullopt;
    return toNumber(m.capturedView());
}

std::optional<double> lastNumber(const QString& text) {
    std::optional<double> last;
    for (auto it = numberPattern().globalMatch(text); it.hasNext();)
        last = toNumber(it.next().capturedView());
    return last;
}

bool eighteenCharacters(const Context&, int, const QString& text) {
    return text.size() == 18;
}

bool commodityCode(const Context&, int, const QString& text) {
    static const QRegularExpression code(QStringLiteral("^(?:[0-9]{10}|[0-9]{8})$"));
    return code.match(text).hasMatch();
}

bool totalIsQuantityTimesPrice(const Context& c, int box, const QString& text) {
    const std::optional<double> total = leadingNumber(text);
    const std::optional<double> quantity = leadingNumber(c.text(c.sameLine(box, Quantity)));
    const std::optional<double> price = lastNumber(c.text(c.sameLine(box, UnitPrice)));
    if (!total || !quantity || !price)
        return true;
    // A cent of rounding is allowed, and the binary fraction of a decimal price beside it.
    return std::abs(*total - *quantity * *price) <= 0.01 + 1e-9 * std::abs(*total);
}

bool netNotAboveGross(const Context& c, int, const QString& text) {
    const std::optional<double> net = leadingNumber(text);
    const std::optional<double> gross = leadingNumber(c.text(Field::GrossWeight));
    return !net || !gross || *net <= *gross;
}

bool wholeAboveZero(const Context&, int, const QString& text) {
    static const QRegularExpression whole(QStringLiteral("^0*[1-9][0-9]*$"));
    return whole.match(text).hasMatch();
}

bool isDate(const Context&, int, const QString& text) {
    // One separator or none, the same both times: YYYY-MM-DD, YYYY.MM.DD or YYYYMMDD.
    static const QRegularExpression date(
        QStringLiteral("^([0-9]{4})([-.]?)([0-9]{2})\\2([0-9]{2})$"));
    const QRegularExpressionMatch m = date.match(text);
    return m.hasMatch() &&
           QDate(m.capturedView(1).toInt(), m.capturedView(3).toInt(), m.capturedView(4).toInt())
               .isValid();
}

bool knownCode(const Context& c, int box, const QString& text) {
    return !c.knownCode || c.knownCode(box, text).value_or(true);
}

// One line a rule: where it looks, what passes, what the clerk is told when it fails.
constexpr Rule Rules[] = {
    {box(Field::PreEntryNumber), eighteenCharacters, u"应为18位"},
    {box(Field::CustomsNumber), eighteenCharacters, u"应为18位"},
    {goods(CommodityCode), commodityCode, u"应为10位数字（8位亦可）"},
    {goods(Total), totalIsQuantityTimesPrice, u"不等于数量×单价"},
    {box(Field::NetWeight), netNotAboveGross, u"大于毛重"},
    {box(Field::Packages), wholeAboveZero, u"应为大于0的整数"},
    {box(Field::ExportImportDate), isDate, u"不是日期（YYYY-MM-DD、YYYYMMDD或YYYY.MM.DD）"},
    {box(Field::DeclarationDate), isDate, u"不是日期（YYYY-MM-DD、YYYYMMDD或YYYY.MM.DD）"},
    {box(Field::DateFilledIn), isDate, u"不是日期（YYYY-MM-DD、YYYYMMDD或YYYY.MM.DD）"},
    {everyBox(), knownCode, u"开头的代码不在代码表中"},
};

// The field as the clerk knows it: its caption, or for goods lines 2 to 5 the column's
// caption on line 1 with the line's number.
QString fieldName(int index, Mode mode) {
    const auto& captions = Catalogue::captionTable(mode);
    const Catalogue::GoodsPosition at = Catalogue::goodsPosition(index);
    if (at.line == 0) {
        QString caption = captions[static_cast<std::size_t>(index)];
        if (caption.endsWith(u'：'))
            caption.chop(1);
        return caption;
    }
    const int heading = Catalogue::goodsLines()[0][static_cast<std::size_t>(at.column)];
    return QStringLiteral("第%1行%2").arg(at.line).arg(captions[static_cast<std::size_t>(heading)]);
}

template <typename Visit> void forEachBox(const Target& target, Visit&& visit) {
    if (target.box >= 0) {
        visit(target.box);
    } else if (target.goodsColumn >= 0) {
        for (const auto& line : Catalogue::goodsLines())
            visit(line[static_cast<std::size_t>(target.goodsColumn)]);
    } else {
        for (int i = 0; i < BoxCount; ++i)
            visit(i);
    }
}

} // namespace

std::vector<CheckFinding> check(const DeclarationTexts& texts, Mode mode,
                                const KnownCode& knownCode) {
    const Context context{texts, knownCode};
    std::vector<CheckFinding> findings;
    for (const Rule& rule : Rules)
        forEachBox(rule.target, [&](int index) {
            const QString text = context.text(index);
            if (!text.isEmpty() && !rule.passes(context, index, text))
                findings.push_back(
                    {index, fieldName(index, mode) + u'：' + QString::fromUtf16(rule.message)});
        });
    std::stable_sort(findings.begin(), findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.box < b.box; });
    return findings;
}

std::vector<CheckFinding> check(const Form& form, Mode mode, const KnownCode& knownCode) {
    DeclarationTexts texts;
    for (int i = 0; i < BoxCount; ++i)
        texts[static_cast<std::size_t>(i)] = form.text(i);
    return check(texts, mode, knownCode);
}

QStringList messages(const std::vector<CheckFinding>& findings) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(findings.size()));
    for (const CheckFinding& f : findings)
        out.append(f.message);
    return out;
}

} // namespace DeclarationChecks

#include "package/control/relations.h"

#include <QString>

#include <climits>
#include <cstring>

namespace {

// dpkg's own character classes: ASCII only, whatever the locale.
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAlnum(char c)
{
    return isDigit(c) || isAlpha(c);
}

// Whether c is one of the characters of set (never the NUL that ends it).
bool oneOf(const char *set, char c)
{
    return c != '\0' && std::strchr(set, c);
}

QString shown(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

// Whether every character from index from on is alphanumeric or one of also.
bool alnumOr(const QByteArray &text, const char *also, int from)
{
    for (int i = from; i < text.size(); ++i) {
        if (!isAlnum(text.at(i)) && !oneOf(also, text.at(i)))
            return false;
    }
    return true;
}

// A package name as a relationship may name it: dpkg also takes "_" and
// capitals there.
Result checkRelationName(const QByteArray &name)
{
    if (!isAlnum(name.at(0)) || !alnumOr(name, "-+._", 1))
        return Result::failure(QStringLiteral("имя пакета «%1» недопустимо: нужны латинские буквы, цифры и знаки "
                                              "«-», «+», «.», «_», в начале буква или цифра")
                                   .arg(shown(name)));
    return Result::done();
}

Result checkArchitectureQualifier(const QByteArray &name, const QByteArray &architecture)
{
    if (architecture.isEmpty())
        return Result::failure(QStringLiteral("после «%1:» нет архитектуры").arg(shown(name)));
    if (!isAlnum(architecture.at(0)) || !alnumOr(architecture, "-", 1))
        return Result::failure(QStringLiteral("архитектура «%1» у пакета «%2» недопустима: нужны латинские буквы, "
                                              "цифры и «-», в начале буква или цифра")
                                   .arg(shown(architecture), shown(name)));
    return Result::done();
}

// Where a character sorts in dpkg's comparison of the non-digit parts.
int order(char c)
{
    if (isDigit(c))
        return 0;
    if (isAlpha(c))
        return c;
    if (c == '~')
        return -1;
    if (c)
        return c + 256;
    return 0;
}

int compareParts(const QByteArray &left, const QByteArray &right)
{
    // Both end in a NUL, which compares as dpkg's end of string.
    const char *a = left.constData();
    const char *b = right.constData();
    while (*a || *b) {
        int firstDifference = 0;
        while ((*a && !isDigit(*a)) || (*b && !isDigit(*b))) {
            const int ac = order(*a);
            const int bc = order(*b);
            if (ac != bc)
                return ac - bc;
            ++a;
            ++b;
        }
        while (*a == '0')
            ++a;
        while (*b == '0')
            ++b;
        while (isDigit(*a) && isDigit(*b)) {
            if (!firstDifference)
                firstDifference = *a - *b;
            ++a;
            ++b;
        }
        if (isDigit(*a))
            return 1;
        if (isDigit(*b))
            return -1;
        if (firstDifference)
            return firstDifference;
    }
    return 0;
}

// The epoch before the colon, read as strtol reads it: sign, digits.
Result parseEpoch(const QByteArray &text, qint64 *epoch)
{
    int i = 0;
    const bool negative = text.startsWith('-');
    if (negative || text.startsWith('+'))
        ++i;
    const int digits = i;
    qint64 value = 0;
    for (; i < text.size() && isDigit(text.at(i)); ++i)
        value = qMin<qint64>(value * 10 + (text.at(i) - '0'), qint64(INT_MAX) + 1);
    if (i == digits)
        return Result::failure(QStringLiteral("эпоха перед «:» пуста"));
    if (i != text.size())
        return Result::failure(QStringLiteral("эпоха перед «:» не число"));
    if (negative && value > 0)
        return Result::failure(QStringLiteral("эпоха отрицательна"));
    if (value > INT_MAX)
        return Result::failure(QStringLiteral("эпоха больше %1").arg(INT_MAX));
    *epoch = value;
    return Result::done();
}

Result checkVersionCharacters(const DebianVersion &version)
{
    if (version.upstream.isEmpty())
        return Result::failure(QStringLiteral("номер версии пуст"));
    if (!isDigit(version.upstream.at(0)))
        return Result::failure(QStringLiteral("номер версии должен начинаться с цифры"));
    if (!alnumOr(version.upstream, ".-+~:", 1))
        return Result::failure(QStringLiteral("в номере версии допустимы только латинские буквы, цифры и знаки "
                                              "«.+~-:»"));
    if (!alnumOr(version.revision, ".+~", 0))
        return Result::failure(QStringLiteral("в номере сборки (после последнего «-») допустимы только латинские "
                                              "буквы, цифры и знаки «.+~»"));
    return Result::done();
}

// Reads "(OP VERSION)" at pos, just after the "(", as dpkg reads it.
Result parseConstraint(const QByteArray &value, int *pos, Relation *relation)
{
    int &p = *pos;
    const int n = value.size();
    const auto at = [&](int i) { return i < n ? value.at(i) : '\0'; };
    while (isControlSpace(at(p)))
        ++p;
    const char first = at(p);
    if (first == '<' || first == '>') {
        const char second = at(p + 1);
        const bool earlier = first == '<';
        if (second == '=' || second == first) {
            relation->op = second == '=' ? (earlier ? Relation::EarlierOrEqual : Relation::LaterOrEqual)
                                         : (earlier ? Relation::Earlier : Relation::Later);
            p += 2;
        } else if (second == '<' || second == '>') {
            return Result::failure(QStringLiteral("отношение «%1%2» недопустимо").arg(first).arg(second));
        } else {
            // The old single "<" and ">" mean "<=" and ">=".
            relation->op = earlier ? Relation::EarlierOrEqual : Relation::LaterOrEqual;
            ++p;
        }
    } else {
        relation->op = Relation::Equal;
        if (first == '=')
            ++p;
    }
    while (isControlSpace(at(p)))
        ++p;
    const int start = p;
    while (p < n && at(p) != ')' && at(p) != '(' && !isControlSpace(at(p)))
        ++p;
    const QByteArray version = value.mid(start, p - start);
    while (isControlSpace(at(p)))
        ++p;
    if (p >= n)
        return Result::failure(QStringLiteral("нет «)» после версии"));
    if (at(p) != ')')
        return Result::failure(QStringLiteral("«%1» вместо «)» после версии").arg(QChar::fromLatin1(at(p))));
    const Result read = parseDebianVersion(version, &relation->version);
    if (read.failed())
        return Result::failure(QStringLiteral("версия «%1»: %2").arg(shown(version), read.message));
    ++p;
    while (isControlSpace(at(p)))
        ++p;
    return Result::done();
}

// Reads one alternative at pos: name, qualifier, constraint.
Result parseRelation(const QByteArray &value, int *pos, Relation *relation)
{
    int &p = *pos;
    const int n = value.size();
    const int start = p;
    while (p < n && !isControlSpace(value.at(p)) && !oneOf(":(,|", value.at(p)))
        ++p;
    relation->name = value.mid(start, p - start);
    if (relation->name.isEmpty())
        return Result::failure(QStringLiteral("нет имени пакета там, где оно нужно (лишняя запятая или «|»?)"));
    const Result named = checkRelationName(relation->name);
    if (named.failed())
        return named;
    if (p < n && value.at(p) == ':') {
        const int qualifier = ++p;
        while (p < n && !isControlSpace(value.at(p)) && !oneOf("(,|", value.at(p)))
            ++p;
        relation->architecture = value.mid(qualifier, p - qualifier);
        const Result qualified = checkArchitectureQualifier(relation->name, relation->architecture);
        if (qualified.failed())
            return qualified;
    }
    while (p < n && isControlSpace(value.at(p)))
        ++p;
    if (p >= n || value.at(p) != '(')
        return Result::done();
    ++p;
    Result constrained = parseConstraint(value, pos, relation);
    if (constrained.failed())
        constrained.message = QStringLiteral("пакет «%1»: ").arg(shown(relation->name)) + constrained.message;
    return constrained;
}

struct Bound
{
    bool unbounded = true;
    DebianVersion version;
    bool inclusive = false;
};

// The lower end (direction 1) or the upper end (-1) of the versions the
// relation accepts.
Bound boundOf(const Relation &relation, int direction)
{
    const Relation::Operator strict = direction > 0 ? Relation::Later : Relation::Earlier;
    const Relation::Operator orEqual = direction > 0 ? Relation::LaterOrEqual : Relation::EarlierOrEqual;
    if (relation.op != strict && relation.op != orEqual && relation.op != Relation::Equal)
        return Bound();
    return {false, relation.version, relation.op != strict};
}

// Whether inner lies on the inside of outer; direction is 1 for a lower
// bound (inside means later) and -1 for an upper one.
bool within(const Bound &inner, const Bound &outer, int direction)
{
    if (outer.unbounded)
        return true;
    if (inner.unbounded)
        return false;
    const int comparison = compareVersions(inner.version, outer.version) * direction;
    if (comparison != 0)
        return comparison > 0;
    return outer.inclusive || !inner.inclusive;
}

} // namespace

bool isControlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

Result parseDebianVersion(const QByteArray &text, DebianVersion *version)
{
    int start = 0;
    while (start < text.size() && (text.at(start) == ' ' || text.at(start) == '\t'))
        ++start;
    if (start == text.size())
        return Result::failure(QStringLiteral("пустая версия"));
    int end = start;
    while (end < text.size() && !isControlSpace(text.at(end)))
        ++end;
    for (int i = end; i < text.size(); ++i) {
        if (!isControlSpace(text.at(i)))
            return Result::failure(QStringLiteral("в версии есть пробелы"));
    }
    QByteArray rest = text.mid(start, end - start);
    DebianVersion read;
    const int colon = rest.indexOf(':');
    if (colon >= 0) {
        const Result epoch = parseEpoch(rest.left(colon), &read.epoch);
        if (epoch.failed())
            return epoch;
        if (colon + 1 == rest.size())
            return Result::failure(QStringLiteral("после «:» ничего нет"));
        rest = rest.mid(colon + 1);
    }
    const int hyphen = rest.lastIndexOf('-');
    read.upstream = hyphen < 0 ? rest : rest.left(hyphen);
    if (hyphen >= 0) {
        read.revision = rest.mid(hyphen + 1);
        if (read.revision.isEmpty())
            return Result::failure(QStringLiteral("после последнего «-» ничего нет"));
    }
    const Result characters = checkVersionCharacters(read);
    if (characters.success)
        *version = read;
    return characters;
}

int compareVersions(const DebianVersion &a, const DebianVersion &b)
{
    if (a.epoch != b.epoch)
        return a.epoch < b.epoch ? -1 : 1;
    const int upstream = compareParts(a.upstream, b.upstream);
    return upstream != 0 ? upstream : compareParts(a.revision, b.revision);
}

Result parseRelations(const QByteArray &field, const QByteArray &value, QList<RelationGroup> *groups)
{
    static const QList<QByteArray> withoutAlternatives = {"conflicts", "breaks", "replaces", "provides"};
    const bool alternativesAllowed = !withoutAlternatives.contains(field.toLower());
    QList<RelationGroup> read;
    int p = 0;
    const int n = value.size();
    while (p < n) {
        RelationGroup group;
        for (;;) {
            Relation relation;
            const Result parsed = parseRelation(value, &p, &relation);
            if (parsed.failed())
                return parsed;
            group << relation;
            if (p >= n || value.at(p) == ',')
                break;
            if (value.at(p) != '|')
                return Result::failure(
                    QStringLiteral("лишнее после пакета «%1» (ожидалась «,» или «|»)").arg(shown(relation.name)));
            if (!alternativesAllowed)
                return Result::failure(QStringLiteral("альтернативы («|») здесь недопустимы"));
            for (++p; p < n && isControlSpace(value.at(p));)
                ++p;
        }
        read << group;
        if (p >= n)
            break;
        for (++p; p < n && isControlSpace(value.at(p));)
            ++p;
        // A comma at the very end leaves no name after it, which dpkg refuses too.
        if (p >= n)
            return Result::failure(QStringLiteral("нет имени пакета после последней запятой"));
    }
    *groups = read;
    return Result::done();
}

bool implies(const Relation &declared, const Relation &needed)
{
    return declared.name.toLower() == needed.name.toLower()
           && (needed.architecture == "any" || declared.architecture.toLower() == needed.architecture.toLower())
           && within(boundOf(declared, 1), boundOf(needed, 1), 1)
           && within(boundOf(declared, -1), boundOf(needed, -1), -1);
}

bool implies(const RelationGroup &declared, const RelationGroup &needed)
{
    for (const Relation &alternative : declared) {
        bool covered = false;
        for (const Relation &wanted : needed)
            covered = covered || implies(alternative, wanted);
        if (!covered)
            return false;
    }
    return !declared.isEmpty();
}

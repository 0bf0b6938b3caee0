#include "desktop/shortcuts.h"

#include <QRegularExpression>

QString applicationsSubdirectory()
{
    return QStringLiteral("usr/share/applications");
}

QString applicationsDirectory(const QString &workDir)
{
    return workDir + QLatin1Char('/') + applicationsSubdirectory();
}

QString shortcutPath(const QString &folder, const QString &typedName, const QString &selected)
{
    if (!typedName.isEmpty())
        return folder + typedName + QStringLiteral(".desktop");
    if (!selected.isEmpty())
        return folder + selected;
    return QString();
}

QString desktopExecValue(const QString &program)
{
    static const QRegularExpression reserved(QStringLiteral("[\\s\"'\\\\><~|&;$*?#()`]"));
    QString value = program;
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!value.contains(reserved))
        return value;
    // Inside quotes ", `, $ and \ take a backslash; the key's own string
    // escaping then doubles every backslash.
    QString quoted;
    for (const QChar c : value) {
        if (QStringLiteral("\"`$\\").contains(c))
            quoted += QStringLiteral("\\\\");
        quoted += c == QLatin1Char('\\') ? QStringLiteral("\\\\") : QString(c);
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString desktopTemplate(const QString &k)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Comment=Короткое описание программы\n"
                          "Exec=%2\n"
                          "Icon=%1\n"
                          "Terminal=false\n"
                          "Categories=Utility;\n"
                          "Keywords=%3;\n")
        .arg(k, desktopExecValue(QStringLiteral("/usr/bin/") + k),
             QString(k).replace(QLatin1Char(';'), QStringLiteral("\\;")));
}

namespace {

// A string value with the desktop entry's escapes (\s, \n, \t, \r, \\) undone.
QString unescapedValue(const QString &value)
{
    QString text;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            text += c;
            continue;
        }
        const QChar next = value.at(++i);
        const int known = QStringLiteral("sntr\\").indexOf(next);
        text += known < 0 ? next : QStringLiteral(" \n\t\r\\").at(known);
    }
    return text;
}

} // namespace

ShortcutNames readShortcutNames(const QByteArray &desktopEntry)
{
    ShortcutNames names;
    const QList<QPair<QString, QString *>> keys = {{QStringLiteral("Name"), &names.name},
                                                   {QStringLiteral("Name[ru]"), &names.nameRu},
                                                   {QStringLiteral("Comment"), &names.comment},
                                                   {QStringLiteral("Comment[ru]"), &names.commentRu}};
    bool inEntry = false;
    for (const QString &line : QString::fromUtf8(desktopEntry).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')))
            inEntry = trimmed == QLatin1String("[Desktop Entry]");
        const int equals = line.indexOf(QLatin1Char('='));
        if (!inEntry || equals < 0)
            continue;
        for (const auto &key : keys) {
            if (line.left(equals).trimmed() == key.first && key.second->isEmpty())
                *key.second = unescapedValue(line.mid(equals + 1).trimmed());
        }
    }
    return names;
}

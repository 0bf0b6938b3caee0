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

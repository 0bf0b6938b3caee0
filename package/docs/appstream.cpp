#include "package/docs/appstream.h"

#include "common/paths.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamWriter>

bool isReverseDnsId(const QString &id)
{
    static const QRegularExpression reverseDns(
        QStringLiteral("^[A-Za-z][A-Za-z0-9_-]*(\\.[A-Za-z0-9_][A-Za-z0-9_-]*){2,}$"));
    return reverseDns.match(id).hasMatch();
}

QString appStreamIdFor(const QString &shortcutBaseName, const QString &homepage, const QString &package)
{
    if (isReverseDnsId(shortcutBaseName))
        return shortcutBaseName;
    QString host = QUrl(homepage).host().toLower();
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    QStringList parts = host.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    std::reverse(parts.begin(), parts.end());
    parts << package;
    const QString id = parts.join(QLatin1Char('.')).replace(QLatin1Char('-'), QLatin1Char('_'));
    return isReverseDnsId(id) ? id : QString();
}

QString launchedShortcut(const QString &workDir, const QString &package)
{
    const QStringList shortcuts =
        QDir(applicationsDirectory(workDir)).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
    const QString own = package + QStringLiteral(".desktop");
    return shortcuts.contains(own) ? own : shortcuts.value(0);
}

QString metainfoPath(const QString &workDir, const QString &id)
{
    return workDir + QStringLiteral("/usr/share/metainfo/") + id + QStringLiteral(".metainfo.xml");
}

QByteArray metainfoText(const MetainfoSource &source, const DocsFields &fields)
{
    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("component"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("desktop-application"));
    xml.writeTextElement(QStringLiteral("id"), source.id);
    xml.writeTextElement(QStringLiteral("metadata_license"), QStringLiteral("FSFAP"));
    if (!source.licence.isEmpty())
        xml.writeTextElement(QStringLiteral("project_license"), source.licence);
    const auto translated = [&xml](const QString &element, const QString &text, const QString &russian) {
        xml.writeTextElement(element, text);
        if (russian.isEmpty())
            return;
        xml.writeStartElement(element);
        xml.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("ru"));
        xml.writeCharacters(russian);
        xml.writeEndElement();
    };
    const ShortcutNames &names = source.names;
    translated(QStringLiteral("name"), names.name.isEmpty() ? fields.package : names.name, names.nameRu);
    translated(QStringLiteral("summary"), names.comment.isEmpty() ? fields.synopsis : names.comment, names.commentRu);
    xml.writeStartElement(QStringLiteral("description"));
    const QString description = fields.description.isEmpty() ? fields.synopsis : fields.description;
    for (const QString &paragraph : description.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts))
        xml.writeTextElement(QStringLiteral("p"), paragraph.simplified());
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("launchable"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("desktop-id"));
    xml.writeCharacters(source.shortcut);
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("developer_name"), fields.maintainer.section(QStringLiteral(" <"), 0, 0));
    if (!fields.homepage.isEmpty()) {
        xml.writeStartElement(QStringLiteral("url"));
        xml.writeAttribute(QStringLiteral("type"), QStringLiteral("homepage"));
        xml.writeCharacters(fields.homepage);
        xml.writeEndElement();
    }
    xml.writeEmptyElement(QStringLiteral("content_rating"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("oars-1.1"));
    xml.writeStartElement(QStringLiteral("releases"));
    xml.writeEmptyElement(QStringLiteral("release"));
    // The upstream version: without the epoch and the Debian revision.
    const QString upstream = fields.version.section(QLatin1Char(':'), -1).section(QLatin1Char('-'), 0, -2);
    xml.writeAttribute(QStringLiteral("version"),
                       upstream.isEmpty() ? fields.version.section(QLatin1Char(':'), -1) : upstream);
    xml.writeAttribute(QStringLiteral("date"), source.date.toString(Qt::ISODate));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return text;
}

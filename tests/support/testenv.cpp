#include "testenv.h"

#include "common/processrunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

TemporaryHome::TemporaryHome()
    : m_oldHome(qgetenv("HOME"))
{
    qputenv("HOME", QFile::encodeName(m_dir.path()));
}

TemporaryHome::~TemporaryHome()
{
    qputenv("HOME", m_oldHome);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QStringList packageListing(const QString &package)
{
    QStringList lines = runProcess(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), package})
                            .standardOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.replaceInStrings(QRegularExpression(QStringLiteral(" \\S+ +\\d+ \\S+ \\S+ ")), QStringLiteral(" "));
    lines.sort();
    return lines;
}

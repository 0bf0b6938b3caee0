#include "common/privatedir.h"

#include "common/filetree.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

PrivateDirectory::PrivateDirectory()
{
    QByteArray name = QFile::encodeName(QDir::tempPath() + QStringLiteral("/bexlor-XXXXXX"));
    if (::mkdtemp(name.data()))
        m_path = QFile::decodeName(name);
    else
        m_error = QStringLiteral("Не удалось создать временный каталог: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

QString PrivateDirectory::remove()
{
    if (m_path.isEmpty())
        return QString();
    const Result removed = removeTree(m_path);
    m_path.clear();
    return removed.message;
}

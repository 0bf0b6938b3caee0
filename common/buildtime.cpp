#include "common/buildtime.h"

#include <QRegularExpression>

Result sourceDateTime(QDateTime *time)
{
    if (!qEnvironmentVariableIsSet("SOURCE_DATE_EPOCH")) {
        *time = QDateTime::currentDateTime();
        return Result::done();
    }
    const QString value = qEnvironmentVariable("SOURCE_DATE_EPOCH");
    static const QRegularExpression seconds(QStringLiteral("^[0-9]{1,12}$"));
    if (!seconds.match(value).hasMatch())
        return Result::failure(QStringLiteral("Переменная SOURCE_DATE_EPOCH должна быть числом секунд с 1970 года, "
                                              "а не «%1»")
                                   .arg(value));
    *time = QDateTime::fromSecsSinceEpoch(value.toLongLong(), Qt::UTC);
    return Result::done();
}

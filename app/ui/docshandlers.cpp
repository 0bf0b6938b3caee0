#include "app/ui/bexlorwindow.h"
#include "common/ui/dialogs.h"
#include "package/docs/licences.h"
#include "package/docs/packagedocs.h"

void BexlorWindow::createDocs()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    DocsPlan plan;
    const Result planned = planPackageDocs(workDir, &plan);
    if (planned.failed()) {
        showError(planned.message);
        return;
    }
    const QString title = QStringLiteral("Документы пакета");
    DocsAnswers answers;
    answers.replace = !plan.existing.isEmpty()
                      && Dialogs::instance().question(
                          title, QStringLiteral("Эти файлы уже есть:\n") + plan.existing.join(QLatin1Char('\n'))
                                     + QStringLiteral("\nЗаменить их? «Нет» оставит их как есть и создаст "
                                                      "остальные документы."));
    if (needsLicence(plan, answers.replace)) {
        answers.licence = Dialogs::instance().textInput(
            title, QStringLiteral("Лицензия программы (other — вписать её в файл copyright самостоятельно):"),
            licenceChoices());
        if (answers.licence.isEmpty())
            return;
    }
    if (needsAppStreamId(plan)) {
        answers.appStreamId = Dialogs::instance().textInput(
            title, QStringLiteral("Идентификатор программы для AppStream в обратной записи домена (например, "
                                  "org.example.tool): в DEBIAN/control нет поля Homepage, из которого он "
                                  "составляется"));
        if (answers.appStreamId.isEmpty())
            return;
    }
    showResult(writePackageDocs(workDir, plan, answers));
}

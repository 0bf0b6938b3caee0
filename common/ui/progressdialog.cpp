#include "common/ui/progressdialog.h"

#include "common/job.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCodec>
#include <QTextDecoder>
#include <QThread>
#include <QVBoxLayout>

ProgressDialog::ProgressDialog(QWidget *parent, const QString &title, Job *job)
    : QDialog(parent)
    , m_job(job)
    , m_decoder(QTextCodec::codecForName("UTF-8")->makeDecoder())
{
    setObjectName(QStringLiteral("progressDialog"));
    setWindowTitle(title);
    setModal(true);
    resize(640, 360);

    m_label = new QLabel(title + QStringLiteral("…"), this);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 0);
    plainTextEditLog = new QPlainTextEdit(this);
    plainTextEditLog->setObjectName(QStringLiteral("plainTextEditLog"));
    plainTextEditLog->setReadOnly(true);
    plainTextEditLog->setPlaceholderText(QStringLiteral("Здесь появится вывод программ сборки"));
    pushButtonCancel = new QPushButton(QStringLiteral("&Отмена"), this);
    pushButtonCancel->setObjectName(QStringLiteral("pushButtonCancel"));
    pushButtonCancel->setToolTip(QStringLiteral("Остановить работу и удалить всё, что она успела создать"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(pushButtonCancel, QDialogButtonBox::RejectRole);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(progressBar);
    layout->addWidget(plainTextEditLog, 1);
    layout->addWidget(buttons);

    connect(pushButtonCancel, &QPushButton::clicked, this, &ProgressDialog::reject);
    connect(this, &ProgressDialog::outputArrived, this, &ProgressDialog::appendOutput, Qt::QueuedConnection);
    connect(this, &ProgressDialog::progressChanged, this, &ProgressDialog::showProgress, Qt::QueuedConnection);
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::reject()
{
    // The window stays until the work has stopped and cleaned up after itself.
    m_job->cancel();
    pushButtonCancel->setEnabled(false);
    m_label->setText(QStringLiteral("Отмена: работа останавливается и удаляет то, что успела создать…"));
}

void ProgressDialog::appendOutput(const QByteArray &chunk)
{
    QScrollBar *scroll = plainTextEditLog->verticalScrollBar();
    const bool atEnd = scroll->value() == scroll->maximum();
    plainTextEditLog->moveCursor(QTextCursor::End);
    plainTextEditLog->insertPlainText(m_decoder->toUnicode(chunk));
    if (atEnd)
        scroll->setValue(scroll->maximum());
}

void ProgressDialog::showProgress(int percent)
{
    if (percent < 0) {
        progressBar->setRange(0, 0);
        return;
    }
    progressBar->setRange(0, 100);
    progressBar->setValue(percent);
}

Result runWithProgress(QWidget *parent, const QString &title, const std::function<Result()> &work)
{
    Job job;
    ProgressDialog dialog(parent, title, &job);
    job.onOutput = [&dialog](const QByteArray &chunk) { emit dialog.outputArrived(chunk); };
    job.onProgress = [&dialog](int percent) { emit dialog.progressChanged(percent); };

    Result result;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        const JobScope scope(&job);
        result = work();
    }));
    QObject::connect(worker.get(), &QThread::finished, &dialog, &QDialog::accept, Qt::QueuedConnection);
    worker->start();
    dialog.exec();
    worker->wait();
    if (job.cancelled())
        return Result::failure(QStringLiteral("Работа «%1» отменена. То, что она успела создать, удалено.").arg(title));
    return result;
}

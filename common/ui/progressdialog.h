#pragma once

#include "common/result.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class Job;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTextDecoder;

// The modal window shown while long work runs: what runs, a percentage where
// it is known (a busy bar otherwise), the tools' output as it arrives and a
// cancel button. It closes itself when the work is over; closing it by hand
// or pressing Escape asks the work to stop, like the button.
class ProgressDialog : public QDialog
{
    Q_OBJECT

public:
    ProgressDialog(QWidget *parent, const QString &title, Job *job);
    ~ProgressDialog() override;

    QProgressBar *progressBar;
    QPlainTextEdit *plainTextEditLog;
    QPushButton *pushButtonCancel;

    void reject() override;

signals:
    // Emitted from the working thread; delivered on the window's thread.
    void outputArrived(const QByteArray &chunk);
    void progressChanged(int percent);

private:
    void appendOutput(const QByteArray &chunk);
    void showProgress(int percent);

    Job *m_job;
    QLabel *m_label;
    std::unique_ptr<QTextDecoder> m_decoder;
};

// Runs work on a worker thread under a job while the progress window keeps
// every window painting, and returns its result once it is over. A work the
// user cancelled reports the cancel, whatever its own result: the work
// honours a cancel up to its last step (Job::commit) and refuses it after.
Result runWithProgress(QWidget *parent, const QString &title, const std::function<Result()> &work);

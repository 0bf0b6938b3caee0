// Drives the executable build's pieces for bench/exe_build.sh:
//   bench_exe_build generate DIR     writes a program of a script and 16 modules into DIR
//   bench_exe_build plain DIR OUT JOBS  translates and compiles the same modules with the same tools and flags as
//                                       the build, on JOBS threads (1: one by one), and links them into OUT/plain;
//                                       prints the milliseconds on standard error
#include "common/processrunner.h"
#include "exebuild/buildtarget.h"
#include "exebuild/modulebuild.h"
#include "exebuild/shipready.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThreadPool>
#include <QtConcurrent>

#include <cstdio>

namespace {

const int modules = 16;

// Module i: the kinds of code real programs hold (classes, closures, comprehensions, string work, exceptions,
// generators), about 100 lines, importing module i - 1.
QByteArray moduleText(int i)
{
    QString text = QStringLiteral("import collections\nimport json\n");
    if (i > 0)
        text += QStringLiteral("import part%1\n").arg(i - 1);
    text += QStringLiteral(R"PY(

class Account%1:
    """A running balance with a history."""

    def __init__(self, owner, start=0):
        self.owner = owner
        self.balance = start
        self.history = []

    def deposit(self, amount):
        if amount <= 0:
            raise ValueError('amount must be positive: %r' % (amount,))
        self.balance += amount
        self.history.append(('deposit', amount))
        return self.balance

    def withdraw(self, amount):
        if amount > self.balance:
            raise ValueError('not enough money for %s' % self.owner)
        self.balance -= amount
        self.history.append(('withdraw', amount))
        return self.balance

    def report(self):
        kinds = collections.Counter(kind for kind, _ in self.history)
        return '%s: %d (%s)' % (self.owner, self.balance, ', '.join('%s=%d' % item for item in sorted(kinds.items())))


def words%1(text):
    counts = {}
    for word in text.lower().split():
        word = word.strip('.,;:!?')
        if word:
            counts[word] = counts.get(word, 0) + 1
    return sorted(counts.items(), key=lambda item: (-item[1], item[0]))


def primes%1(limit):
    sieve = [True] * (limit + 1)
    sieve[0:2] = [False, False]
    for n in range(2, int(limit ** 0.5) + 1):
        if sieve[n]:
            for multiple in range(n * n, limit + 1, n):
                sieve[multiple] = False
    return [n for n, prime in enumerate(sieve) if prime]


def fibonacci%1():
    a, b = 0, 1
    while True:
        yield a
        a, b = b, a + b


def counter%1(start):
    total = [start]

    def add(step=1):
        total[0] += step
        return total[0]
    return add


def table%1(rows):
    width = max(len(str(cell)) for row in rows for cell in row)
    return '\n'.join(' | '.join(str(cell).rjust(width) for cell in row) for row in rows)


def safe_divide%1(a, b):
    try:
        return a / b
    except ZeroDivisionError:
        return float('inf')
    finally:
        pass


def summary%1():
    account = Account%1('user%1', %1)
    for amount in (10, 20, 30):
        account.deposit(amount)
    try:
        account.withdraw(1000)
    except ValueError as error:
        note = str(error)
    fib = fibonacci%1()
    first = [next(fib) for _ in range(10)]
    add = counter%1(%1)
    add()
    add(5)
    data = {
        'report': account.report(),
        'note': note,
        'words': words%1('one two two three three three %1')[:3],
        'primes': primes%1(50 + %1)[-3:],
        'fib': first,
        'count': add(),
        'table': table%1([[1, 2, 3], [%1, 20, 300]]),
        'ratio': safe_divide%1(%1, 0),
    }
    return json.dumps(data, sort_keys=True)
)PY")
                .arg(i);
    if (i > 0)
        text += QStringLiteral("\n\ndef chain%1():\n    return summary%1() + part%2.chain%2()\n").arg(i).arg(i - 1);
    else
        text += QStringLiteral("\n\ndef chain0():\n    return summary0()\n");
    return text.toUtf8();
}

int generate(const QString &directory)
{
    QDir().mkpath(directory);
    for (int i = 0; i <= modules; ++i) {
        const bool main = i == modules;
        QFile file(directory + (main ? QStringLiteral("/main.py") : QStringLiteral("/part%1.py").arg(i)));
        const QByteArray text = main ? QStringLiteral("import hashlib\nimport part%1\n\nprint(hashlib.sha256("
                                                      "part%1.chain%1().encode()).hexdigest())\n")
                                           .arg(modules - 1)
                                           .toUtf8()
                                     : moduleText(i);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return 1;
    }
    std::printf("%d modules and a script in %s\n", modules, qPrintable(directory));
    return 0;
}

bool ran(const ProcessResult &run)
{
    if (!run.succeeded())
        std::fprintf(stderr, "%s\n", qPrintable(run.failureText()));
    return run.succeeded();
}

// Each module through cython3 and then gcc, on jobs threads (1: one by one), then the link: the script with
// cython3's own entry point.
int plainBuild(const QString &directory, const QString &output, int jobs)
{
    // The runtime `bexlor-build exe` takes without --runtime.
    BuildTarget host;
    RuntimeFlags runtime;
    BuildFlags flags;
    if (buildTarget(QString(), &host).failed()
        || runtimeFlags(host, installedRuntimes(host.triplet).value(0), &runtime).failed()
        || readBuildFlags(&flags).failed())
        return 1;
    QElapsedTimer timer;
    timer.start();
    QThreadPool pool;
    pool.setMaxThreadCount(jobs);
    QStringList objects;
    QList<QFuture<bool>> built;
    for (int i = 0; i <= modules; ++i) {
        const bool main = i == modules;
        const QString name = main ? QStringLiteral("main") : QStringLiteral("part%1").arg(i);
        const QString c = output + '/' + name + ".c", object = output + '/' + name + ".o";
        objects << object;
        built << QtConcurrent::run(&pool, [=] {
            QStringList translation = translationArguments(name, name + QStringLiteral(".py"), c);
            if (main)
                translation.prepend(QStringLiteral("--embed"));
            return ran(runProcess(QStringLiteral("cython3"), translation, directory))
                   && ran(runProcess(QStringLiteral("gcc"),
                                     compileFlags(runtime, flags, Optimisation::Size)
                                         + QStringList{QStringLiteral("-c"), c, QStringLiteral("-o"), object}));
        });
    }
    for (QFuture<bool> &module : built) {
        if (!module.result())
            return 1;
    }
    if (!ran(runProcess(QStringLiteral("gcc"),
                        linkArguments(flags, Optimisation::Size, objects, output + "/plain", runtime))))
        return 1;
    std::fprintf(stderr, "%.3f\n", double(timer.nsecsElapsed()) / 1e6);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("generate"))
        return generate(args.at(2));
    if (args.size() == 5 && args.at(1) == QLatin1String("plain"))
        return plainBuild(args.at(2), args.at(3), qMax(1, args.at(4).toInt()));
    std::fprintf(stderr, "usage: bench_exe_build generate DIR | plain DIR OUT JOBS\n");
    return 2;
}

#include "cli/commands.h"

#include "app/settings.h"
#include "common/filesystem.h"
#include "common/job.h"
#include "common/namebytes.h"
#include "common/paths.h"
#include "desktop/accessrights.h"
#include "desktop/iconset.h"
#include "exebuild/buildtarget.h"
#include "exebuild/scriptnames.h"
#include "package/control/checksums.h"
#include "package/control/installedsize.h"
#include "package/debbuild/compression.h"
#include "package/debbuild/debbuild.h"
#include "package/docs/packagedocs.h"
#include "package/docs/services.h"
#include "package/repo/repository.h"

#include <QRegularExpression>

#include <array>
#include <cerrno>
#include <cstdio>

namespace {

const QString profileOption = QStringLiteral("--profile");
const QString saveOption = QStringLiteral("--save");
const QString lintOption = QStringLiteral("--lint");
const QString compressionOption = QStringLiteral("--compression");
const QString levelOption = QStringLiteral("--level");
const QString workDirOption = QStringLiteral("--work-dir");
const QString outputDirOption = QStringLiteral("--output-dir");
const QString scriptOption = QStringLiteral("--script");
const QString licenceOption = QStringLiteral("--licence");
const QString appStreamIdOption = QStringLiteral("--appstream-id");
const QString replaceOption = QStringLiteral("--replace");
const QString bytecodeOption = QStringLiteral("--bytecode");
const QString reproducibleOption = QStringLiteral("--check-reproducible");
const QString repoDirOption = QStringLiteral("--repo-dir");
const QString flatOption = QStringLiteral("--flat");
const QString optimiseOption = QStringLiteral("--optimise");
const QString includeOption = QStringLiteral("--include");
const QString excludeOption = QStringLiteral("--exclude");
const QString quietOption = QStringLiteral("--quiet");
const QString runtimeOption = QStringLiteral("--runtime");
const QString hostArchOption = QStringLiteral("--host-arch");

// What a subcommand accepts: the options its operands stand for, in order,
// the further options with a value, the options without one, and its help.
struct CommandSyntax
{
    const char *name;
    QStringList operands;
    QStringList options;
    QStringList flags;
    const char *help;
    bool moreOperands = false; // any number of operands after the last one with an option
};

const std::array<CommandSyntax, 9> &commandSyntaxes()
{
    static const std::array<CommandSyntax, 9> syntaxes{{
        {"exe",
         {scriptOption},
         {runtimeOption, hostArchOption, outputDirOption, QStringLiteral("--name"), optimiseOption, includeOption,
          excludeOption},
         {bytecodeOption, quietOption, reproducibleOption},
         "Использование: bexlor-build exe [СКРИПТ] [--runtime R] [--host-arch АРХИТЕКТУРА]\n"
         "                                 [--output-dir КАТАЛОГ] [--name ИМЯ]\n"
         "                                 [--optimise size|speed] [--include МОДУЛИ] [--exclude МОДУЛИ]\n"
         "                                 [--bytecode] [--check-reproducible] [--quiet] [--profile ИМЯ]\n"
         "Собирает программу на Python в один исполняемый файл: находит модули, которые импортирует\n"
         "скрипт, переводит их в C (cython3) и компилирует (gcc) вместе со скриптом. Модули, которые\n"
         "cython3 переводит неверно, входят в файл байт-кодом Python. Выводит строки Depends: и\n"
         "Recommends: с пакетами Debian, нужными программе.\n\n"
         "  СКРИПТ, --script СКРИПТ    файл .py; рядом с ним появится файл .c\n"
         "  --runtime R                библиотека среды Python, например python3.11;\n"
         "                             по умолчанию та, что у python3 системы\n"
         "  --host-arch АРХИТЕКТУРА    собрать для другой архитектуры Debian, например arm64:\n"
         "                             кросс-компилятором gcc-ТРИПЛЕТ и libpython3.X-dev:АРХИТЕКТУРА\n"
         "                             (после dpkg --add-architecture); по умолчанию — для этой машины\n"
         "  --output-dir КАТАЛОГ       куда записать исполняемый файл; по умолчанию текущий каталог.\n"
         "                             Если он оканчивается на usr/bin, usr/sbin, usr/games или\n"
         "                             .local/bin, файлы данных рядом со скриптом копируются в\n"
         "                             ../share/ИМЯ (для usr/games — в usr/share/games/ИМЯ)\n"
         "  --name ИМЯ                 имя исполняемого файла; по умолчанию имя скрипта без \".py\"\n"
         "  --optimise size|speed      size (по умолчанию): -Os, файл меньше; speed: -O3 -fno-plt\n"
         "                             и флаги защиты dpkg-buildflags, программа быстрее\n"
         "  --include МОДУЛИ           добавить модули и пакеты, которые программа загружает по\n"
         "                             вычисленному имени (через запятую; параметр можно повторять)\n"
         "  --exclude МОДУЛИ           не брать в сборку эти модули и пакеты со всем, что в них\n"
         "  --bytecode                 вся программа байт-кодом Python, без перевода в C\n"
         "  --check-reproducible       собрать программу второй раз из копии каталога скрипта в\n"
         "                             другом каталоге, с другими umask, TZ и языком, без кэша, и\n"
         "                             сравнить: если файлы различаются, код завершения 1 и первое\n"
         "                             различие (раздел ELF и смещение) в сообщении\n"
         "  --quiet                    не показывать ход сборки\n"
         "  --profile ИМЯ              поля ProjectDir, Py, BinaryDir, Binary, Source, Architecture,\n"
         "                             Optimise, Include, Exclude, Bytecode и CheckReproducibleExe\n"
         "                             профиля;\n"
         "                             скрипт, заданный в\n"
         "                             командной строке, приносит свои имена\n"
         "\n"
         "Пакет, который импортирует программа, входит в сборку целиком, со всеми модулями ниже\n"
         "каталога скрипта. Ход сборки (этап, модули) выводится в стандартный поток ошибок.\n"
         "Объектные файлы модулей хранятся в $XDG_CACHE_HOME/bexlor-builder (по умолчанию\n"
         "~/.cache/bexlor-builder), и неизменённые модули не собираются заново.\n"},
        {"deb",
         {workDirOption, outputDirOption},
         {compressionOption, levelOption},
         {lintOption, reproducibleOption},
         "Использование: bexlor-build deb [КАТАЛОГ [ВЫХОД]] [--lint] [--compression СПОСОБ [--level N]]\n"
         "                                [--check-reproducible] [--profile ИМЯ]\n"
         "Проверяет DEBIAN/control и собирает пакет .deb из копии рабочего каталога (fakeroot\n"
         "dpkg-deb --build) с правами доступа из ~/.bexlor/builder/ИМЯ_ПАКЕТА, свежими md5sums и\n"
         "Installed-Size; файлы в etc/ отмечает в DEBIAN/conffiles, как dh_installdeb; называет\n"
         "недостающие в Depends библиотеки. Рабочий каталог не изменяется.\n\n"
         "  КАТАЛОГ, --work-dir КАТАЛОГ      рабочий каталог с подкаталогом DEBIAN\n"
         "  ВЫХОД, --output-dir КАТАЛОГ      каталог для deb-файла; имя файла выбирает dpkg-deb\n"
         "  --lint                           проверить новый пакет программой lintian; если он нашёл\n"
         "                                   ошибки, код завершения 1, а пакет остаётся в ВЫХОД\n"
         "  --compression СПОСОБ             сжатие данных пакета: xz (по умолчанию, его ждёт архив\n"
         "                                   Debian), zstd, gzip или none (без сжатия); пакет zstd\n"
         "                                   dpkg до версии 1.21.18 (Debian 11 и более ранние) не установит\n"
         "  --level N                        уровень сжатия: xz 0-9, zstd 1-19, gzip 1-9; по умолчанию\n"
         "                                   уровень, который выбирает dpkg-deb\n"
         "  --check-reproducible             собрать пакет второй раз из копии рабочего каталога в\n"
         "                                   другом каталоге, с другими umask, TZ и языком, и сравнить:\n"
         "                                   если файлы различаются, код завершения 1 и первое различие\n"
         "                                   (член пакета и смещение) в сообщении\n"
         "  --profile ИМЯ                    поля ProjectDirDeb, DebDir, Lint, Compression,\n"
         "                                   CompressionLevel и CheckReproducible профиля\n\n"
         "С переменной SOURCE_DATE_EPOCH пакет воспроизводим: тот же рабочий каталог в любом\n"
         "каталоге, при любых umask, часовом поясе и языке даёт тот же файл, что и кнопка сборки в окне.\n"},
        {"docs",
         {workDirOption},
         {licenceOption, appStreamIdOption},
         {replaceOption},
         "Использование: bexlor-build docs [КАТАЛОГ] [--licence ЛИЦЕНЗИЯ] [--appstream-id ИД] [--replace]\n"
         "                                 [--profile ИМЯ]\n"
         "Составляет по DEBIAN/control документы пакета: usr/share/doc/ИМЯ_ПАКЕТА/copyright и\n"
         "changelog.Debian.gz (changelog.gz у версии без ревизии Debian; новая версия получает\n"
         "новую запись, прежние остаются), исключение lintian, страницу руководства для каждой\n"
         "программы из usr/bin, usr/games и usr/sbin и, если в пакете есть ярлык, метаданные\n"
         "AppStream в usr/share/metainfo.\n\n"
         "  КАТАЛОГ, --work-dir КАТАЛОГ      рабочий каталог\n"
         "  --licence ЛИЦЕНЗИЯ               лицензия для нового файла copyright: GPL-3.0-or-later,\n"
         "                                   GPL-2.0-or-later, LGPL-3.0-or-later, LGPL-2.1-or-later,\n"
         "                                   Apache-2.0, MPL-2.0, MIT, BSD-3-Clause или other\n"
         "                                   (вписать её самостоятельно)\n"
         "  --appstream-id ИД                идентификатор AppStream (например, org.example.tool), если\n"
         "                                   его не дают ни имя ярлыка, ни поле Homepage\n"
         "  --replace                        заменить уже имеющиеся документы; без него они остаются\n"
         "  --profile ИМЯ                    поле ProjectDirDeb профиля\n"},
        {"md5sums",
         {workDirOption},
         {},
         {},
         "Использование: bexlor-build md5sums [КАТАЛОГ] [--profile ИМЯ]\n"
         "Перезаписывает DEBIAN/md5sums контрольными суммами всех файлов рабочего каталога,\n"
         "кроме DEBIAN и файлов настроек (conffiles): тех, что перечислены в DEBIAN/conffiles,\n"
         "и всех файлов в etc/, как это делает dh_md5sums.\n\n"
         "  КАТАЛОГ, --work-dir КАТАЛОГ      рабочий каталог\n"
         "  --profile ИМЯ                    поле ProjectDirDeb профиля\n"},
        {"size",
         {workDirOption},
         {},
         {},
         "Использование: bexlor-build size [КАТАЛОГ] [--profile ИМЯ]\n"
         "Записывает в строки Installed-Size: файла DEBIAN/control размер файлов рабочего\n"
         "каталога без DEBIAN, в КиБ. Файл без такой строки не меняется.\n\n"
         "  КАТАЛОГ, --work-dir КАТАЛОГ      рабочий каталог\n"
         "  --profile ИМЯ                    поле ProjectDirDeb профиля\n"},
        {"icons",
         {workDirOption, QStringLiteral("--picture")},
         {},
         {},
         "Использование: bexlor-build icons [КАТАЛОГ [ИЗОБРАЖЕНИЕ]] [--profile ИМЯ]\n"
         "Создаёт из одного изображения (PNG, JPEG, SVG) девять значков hicolor от 256 до 16 точек\n"
         "в КАТАЛОГ/usr/share/icons/hicolor/РАЗМЕР/apps/ИМЯ_ПАКЕТА.png.\n\n"
         "  КАТАЛОГ, --work-dir КАТАЛОГ          рабочий каталог\n"
         "  ИЗОБРАЖЕНИЕ, --picture ИЗОБРАЖЕНИЕ   исходное изображение\n"
         "  --profile ИМЯ                        поле ProjectDirDeb профиля\n"},
        {"access",
         {workDirOption},
         {},
         {saveOption},
         "Использование: bexlor-build access [КАТАЛОГ] [--save] [--profile ИМЯ]\n"
         "Выводит в стандартный вывод список прав доступа ко всем файлам рабочего каталога и к\n"
         "каталогам с битами setuid, setgid или sticky, по строке \"/путь: права\" на каждый.\n\n"
         "  КАТАЛОГ, --work-dir КАТАЛОГ      рабочий каталог\n"
         "  --save                           сохранить список в ~/.bexlor/builder/ИМЯ_ПАКЕТА, откуда\n"
         "                                   его берёт сборка пакета (прежний список заменяется)\n"
         "  --profile ИМЯ                    поле ProjectDirDeb профиля\n"},
        {"service",
         {workDirOption},
         {},
         {},
         "Использование: bexlor-build service [КАТАЛОГ] [--profile ИМЯ]\n"
         "Добавляет в DEBIAN/postinst, prerm и postrm блоки для служб systemd из\n"
         "usr/lib/systemd/system рабочего каталога, которые сценарии ещё не обрабатывают (как\n"
         "dh_installsystemd: включить и запустить при установке, перезапустить после обновления,\n"
         "остановить при удалении, забыть при полной очистке), и init-system-helpers в Depends.\n"
         "Блоки отмечены строками-комментариями; повторный вызов их обновляет.\n\n"
         "  КАТАЛОГ, --work-dir КАТАЛОГ      рабочий каталог\n"
         "  --profile ИМЯ                    поле ProjectDirDeb профиля\n"},
        {"repo",
         {repoDirOption},
         {QStringLiteral("--suite"), QStringLiteral("--component"), QStringLiteral("--sign"),
          QStringLiteral("--gnupg-home"), QStringLiteral("--export-key"), QStringLiteral("--valid-for"),
          QStringLiteral("--remove"), QStringLiteral("--keep"), QStringLiteral("--url")},
         {flatOption},
         "Использование: bexlor-build repo [КАТАЛОГ] [ПАКЕТ.deb…] [--suite НАБОР] [--component КОМПОНЕНТ]\n"
         "                                 [--flat] [--sign КЛЮЧ [--gnupg-home КАТАЛОГ] [--export-key ФАЙЛ]]\n"
         "                                 [--valid-for ДНИ] [--remove ИМЯ[=ВЕРСИЯ]] [--keep N] [--url URL]\n"
         "                                 [--profile ИМЯ]\n"
         "Добавляет пакеты в репозиторий APT в каталоге (pool, индексы Packages, Packages.gz,\n"
         "Packages.xz и Release от apt-ftparchive) и выводит в стандартный вывод запись для\n"
         "/etc/apt/sources.list.d. Пакет, который уже есть с теми же байтами, ничего не меняет;\n"
         "та же версия с другими байтами отклоняется. Индексы набора пишутся заново рядом с\n"
         "прежними и подменяются одной заменой ссылки: прерванная публикация оставляет прежний\n"
         "репозиторий или новый, и apt принимает любой из них.\n\n"
         "  КАТАЛОГ, --repo-dir КАТАЛОГ      каталог репозитория\n"
         "  ПАКЕТ.deb…                       пакеты, которые нужно добавить; без них набор\n"
         "                                   публикуется заново (новая подпись и Valid-Until)\n"
         "  --suite НАБОР                    набор (suite), по умолчанию stable: dists/НАБОР\n"
         "  --component КОМПОНЕНТ            компонент, по умолчанию main\n"
         "  --flat                           плоский репозиторий: индексы в КАТАЛОГ/НАБОР, в\n"
         "                                   источнике «Suites: НАБОР/» без компонентов\n"
         "  --sign КЛЮЧ                      подписать Release ключом gpg (InRelease и Release.gpg)\n"
         "  --gnupg-home КАТАЛОГ             связка ключей gpg; по умолчанию своя связка пользователя\n"
         "  --export-key ФАЙЛ                записать открытый ключ (для /etc/apt/keyrings) в ФАЙЛ\n"
         "  --valid-for ДНИ                  поле Valid-Until: через сколько дней apt перестанет\n"
         "                                   доверять индексам, если их не опубликовать заново\n"
         "  --remove ИМЯ[=ВЕРСИЯ]            убрать из набора пакет (или одну его версию)\n"
         "  --keep N                         оставить N новейших версий каждого пакета\n"
         "  --url URL                        адрес репозитория для пользователей в записи источника;\n"
         "                                   по умолчанию file: каталога\n"
         "  --profile ИМЯ                    поля RepoDir и SigningKey профиля\n",
         true},
    }};
    return syntaxes;
}

const CommandSyntax *findSyntax(const QString &name)
{
    for (const CommandSyntax &syntax : commandSyntaxes()) {
        if (name == QLatin1String(syntax.name))
            return &syntax;
    }
    return nullptr;
}

const char programHelp[] = "Использование: bexlor-build КОМАНДА [АРГУМЕНТЫ] [--profile ИМЯ]\n"
                           "Сборка без графического интерфейса, с теми же проверками и сообщениями, что в окне\n"
                           "bexlor-builder. Дисплей не нужен.\n\n"
                           "Команды:\n"
                           "  exe СКРИПТ                   собрать исполняемый файл из скрипта Python\n"
                           "  deb КАТАЛОГ ВЫХОД            собрать пакет .deb из рабочего каталога\n"
                           "  docs КАТАЛОГ                 составить документы пакета\n"
                           "  md5sums КАТАЛОГ              перезаписать DEBIAN/md5sums\n"
                           "  size КАТАЛОГ                 обновить строку Installed-Size: в DEBIAN/control\n"
                           "  icons КАТАЛОГ ИЗОБРАЖЕНИЕ    создать набор значков hicolor\n"
                           "  access КАТАЛОГ [--save]      вывести (и сохранить) список прав доступа к файлам\n"
                           "  service КАТАЛОГ              добавить в сценарии DEBIAN блоки служб systemd\n"
                           "  repo КАТАЛОГ ПАКЕТ.deb…      добавить пакеты в подписанный репозиторий APT\n\n"
                           "Общие параметры:\n"
                           "  --profile ИМЯ   взять недостающие поля из профиля, сохранённого в окне\n"
                           "                  (~/.config/bexlor-builder.ini); аргументы командной строки важнее\n"
                           "  --help          эта справка; bexlor-build КОМАНДА --help описывает команду\n\n"
                           "Вывод программ cython3, gcc, fakeroot и dpkg-deb идёт в стандартный поток ошибок\n"
                           "по мере работы; туда же выводится итоговое сообщение.\n\n"
                           "Коды завершения:\n"
                           "  0  выполнено\n"
                           "  1  ошибка; её описание выведено в стандартный поток ошибок; или пакет\n"
                           "     собран, но lintian нашёл в нём ошибки (deb --lint)\n"
                           "  2  неверный вызов\n";

QString value(const CommandLine &line, const QString &option, const QString &fromProfile = QString())
{
    return line.values.value(option, fromProfile);
}

// A value as a usage message quotes it: a long one cut short.
QString quoted(const QString &text)
{
    return QStringLiteral("«%1»").arg(text.size() > 40 ? text.left(40) + QStringLiteral("…") : text);
}

// What makes a value given on the command line one that no run could take,
// or the empty text: text that is not UTF-8 where a word is asked for (the
// arguments reach here with such bytes replaced), an unknown compressor, a
// level that is no number or outside the compressor's range. A profile's
// compressor is the build's to judge, as the window's would be.
QString wrongValue(const CommandLine &line)
{
    for (const QString &option :
         {compressionOption, levelOption, licenceOption, appStreamIdOption, runtimeOption, profileOption}) {
        // Bytes that are not UTF-8 arrive kept as they are, or replaced where the locale is not UTF-8.
        if (hasStrayBytes(value(line, option)) || value(line, option).contains(QChar::ReplacementCharacter))
            return QStringLiteral("значение параметра %1 не в кодировке UTF-8").arg(option);
    }
    Compression compression;
    compression.name = value(line, compressionOption, compression.name);
    if (!compressionNames().contains(compression.name)) {
        return QStringLiteral("неизвестный способ сжатия %1: возможны %2")
            .arg(quoted(compression.name), compressionNames().join(QStringLiteral(", ")));
    }
    if (!line.values.contains(levelOption))
        return QString();
    static const QRegularExpression level(QStringLiteral("^[0-9]{1,2}$"));
    if (!level.match(value(line, levelOption)).hasMatch())
        return QStringLiteral("уровень сжатия должен быть целым неотрицательным числом, а не %1")
            .arg(quoted(value(line, levelOption)));
    compression.level = value(line, levelOption).toInt();
    const Result checked = checkCompression(compression);
    if (checked.success || (line.values.contains(profileOption) && !line.values.contains(compressionOption)))
        return QString();
    return checked.message.left(1).toLower() + checked.message.mid(1);
}

// The output directory of the command line's builds, made with its parents
// when it is missing, which the live output says.
Result makeOutputDirectory(const QString &directory)
{
    if (directory.isEmpty() || entryExists(directory))
        return Result::done();
    const Result made = makePath(directory, 0777);
    if (made.success && Job::current())
        Job::current()->reportOutput(QStringLiteral("Создан каталог %1\n").arg(directory).toUtf8());
    return made;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    if (arguments.isEmpty()) {
        line.usageError = QStringLiteral("не указана команда");
        return line;
    }
    const QString first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        line.help = true;
        return line;
    }
    const CommandSyntax *syntax = findSyntax(first);
    if (!syntax) {
        line.usageError = QStringLiteral("неизвестная команда «%1»").arg(first);
        return line;
    }
    line.command = first;
    const QStringList valued = syntax->operands + syntax->options + QStringList{profileOption};

    const auto set = [&line](const QString &option, const QString &text) {
        // Lists of modules may be given piece by piece.
        const bool adds = option == includeOption || option == excludeOption;
        if (line.values.contains(option) && !adds)
            line.usageError = QStringLiteral("%1 задан дважды").arg(option);
        line.values.insert(option,
                           line.values.contains(option) ? line.values.value(option) + QLatin1Char(',') + text : text);
    };
    int operands = 0;
    bool optionsEnded = false;
    for (int i = 1; i < arguments.size() && line.usageError.isEmpty(); ++i) {
        const QString argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            // Once the named operands are given, as operands or options, the rest are more of them.
            const bool named = operands == syntax->operands.size()
                               || line.values.contains(syntax->operands.at(operands));
            if (named && syntax->moreOperands) {
                line.moreOperands << argument;
                continue;
            }
            if (operands == syntax->operands.size()) {
                line.usageError = QStringLiteral("лишний аргумент «%1»").arg(argument);
                break;
            }
            set(syntax->operands.at(operands++), argument);
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.help = true;
        } else if (syntax->flags.contains(argument)) {
            line.flags.insert(argument);
        } else {
            const int equals = argument.indexOf(QLatin1Char('='));
            const QString option = equals < 0 ? argument : argument.left(equals);
            if (!valued.contains(option)) {
                line.usageError = QStringLiteral("неизвестный параметр «%1»").arg(option);
            } else if (equals >= 0) {
                set(option, argument.mid(equals + 1));
            } else if (i + 1 == arguments.size()) {
                line.usageError = QStringLiteral("у параметра %1 нет значения").arg(option);
            } else {
                set(option, arguments.at(++i));
            }
        }
    }
    if (line.help)
        line.usageError.clear();
    line.quiet = line.flags.contains(quietOption);
    if (!line.help && line.usageError.isEmpty())
        line.usageError = wrongValue(line);
    return line;
}

QString helpText(const QString &command)
{
    const CommandSyntax *syntax = findSyntax(command);
    return QString::fromUtf8(syntax ? syntax->help : programHelp);
}

Result executableBuild(const CommandLine &line, const Profile &profile, ExecutableBuild *fields)
{
    ExecutableBuild &build = *fields;
    build.architecture = value(line, hostArchOption, profile.architecture);
    BuildTarget target;
    const Result known = buildTarget(build.architecture, &target);
    if (known.failed())
        return known;
    build.runtime = value(line, runtimeOption, installedRuntimes(target.triplet).value(profile.source));
    build.binaryDir = value(line, outputDirOption, profile.binaryDir);
    if (build.binaryDir.isEmpty())
        build.binaryDir = QStringLiteral(".");
    const bool ownScript = line.values.contains(scriptOption);
    build.script = value(line, scriptOption, profile.py);
    const ScriptNames names = scriptNames(build.script);
    const bool fromProfile = !ownScript && !profile.py.isEmpty();
    build.projectDir = fromProfile ? profile.projectDir
                                   : (names.directory.isEmpty() ? QStringLiteral(".") : names.directory);
    const QString name = fromProfile && !profile.binary.isEmpty() ? profile.binary : binaryNameFor(build.script);
    build.binaryName = value(line, QStringLiteral("--name"), name);
    build.bytecode = line.flags.contains(bytecodeOption) || profile.bytecode;
    build.include = value(line, includeOption, profile.include);
    build.exclude = value(line, excludeOption, profile.exclude);
    build.checkReproducible = line.flags.contains(reproducibleOption) || profile.checkReproducibleExe;
    const QString optimise = value(line, optimiseOption, profile.optimise);
    if (!optimisationNamed(optimise, &build.optimisation))
        return Result::failure(QStringLiteral("Оптимизация «%1» неизвестна: выберите size или speed").arg(optimise));
    return Result::done();
}

QByteArray progressOutput(const JobStep &step, const QString &shownPhase, bool terminal, int width)
{
    if (terminal)
        return "\r\033[K" + stepText(step).left(qMax(1, width - 1)).toUtf8();
    if (step.phase == shownPhase)
        return QByteArray();
    return (step.total == 0 ? step.phase : QStringLiteral("%1, всего %2").arg(step.phase).arg(step.total)).toUtf8()
           + '\n';
}

Result writeStandardOutput(const QByteArray &bytes)
{
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())
        || std::fflush(stdout) != 0) {
        return Result::failure(
            QStringLiteral("Не удалось записать в стандартный вывод: %1").arg(systemError(errno ? errno : EIO)));
    }
    return Result::done();
}

namespace {

// The compression of the package build: the arguments win over the profile,
// and a compressor given on the command line brings its own level (its
// default unless --level is given). parseCommandLine has checked the values
// given; the build checks the profile's.
Compression packageCompression(const CommandLine &line, const Profile &profile)
{
    const bool own = line.values.contains(compressionOption);
    Compression compression;
    compression.name = value(line, compressionOption, profile.compression);
    compression.level = own ? -1 : profile.compressionLevel;
    if (line.values.contains(levelOption))
        compression.level = value(line, levelOption).toInt();
    return compression;
}

// The list is saved before it is printed, so that a reader that stops early
// (head) costs nothing but the rest of the output.
Result accessList(const QString &workDir, bool save)
{
    AccessList list;
    const Result listing = accessRightsListing(workDir, &list);
    if (listing.failed())
        return listing;
    if (save) {
        const Result saved = saveAccessList(workDir, list);
        if (saved.failed())
            return saved;
    }
    // The list goes out as the bytes it holds: names need not be UTF-8.
    const Result printed = writeStandardOutput(list.text);
    if (printed.failed())
        return printed;
    const QString note = leftOutNote(list);
    return note.isEmpty() ? Result::done() : Result::failure(note);
}

// The documents step with the answers the window asks for given as options.
Result packageDocs(const QString &workDir, const CommandLine &line)
{
    DocsPlan plan;
    const Result planned = planPackageDocs(workDir, &plan);
    if (planned.failed())
        return planned;
    DocsAnswers answers;
    answers.replace = line.flags.contains(replaceOption);
    answers.licence = value(line, licenceOption);
    answers.appStreamId = value(line, appStreamIdOption);
    const Result answered = checkDocsAnswers(plan, answers, true);
    return answered.failed() ? answered : writePackageDocs(workDir, plan, answers);
}

// A count given as an option: a whole number, 0 or more; absent, 0.
Result countOption(const CommandLine &line, const QString &option, int *count)
{
    bool number = true;
    *count = line.values.contains(option) ? value(line, option).toInt(&number) : 0;
    if (!number || *count < 0)
        return Result::failure(
            QStringLiteral("%1 ждёт целое неотрицательное число, а не «%2»").arg(option, value(line, option)));
    return Result::done();
}

// The repository the options and the profile name; the sources entry goes
// to standard output, so that it can go straight into a file.
Result publish(const CommandLine &line, const Profile &profile)
{
    RepositoryRequest request;
    request.layout.directory = value(line, repoDirOption, profile.repoDir);
    request.layout.suite = value(line, QStringLiteral("--suite"), request.layout.suite);
    request.layout.component = value(line, QStringLiteral("--component"), request.layout.component);
    request.layout.flat = line.flags.contains(flatOption);
    request.packages = line.moreOperands;
    request.remove = value(line, QStringLiteral("--remove"));
    request.signing = {value(line, QStringLiteral("--sign"), profile.signingKey),
                       value(line, QStringLiteral("--gnupg-home"))};
    request.exportKey = value(line, QStringLiteral("--export-key"));
    request.url = value(line, QStringLiteral("--url"));
    const Result counted = runSteps(
        {[&] { return countOption(line, QStringLiteral("--keep"), &request.keep); },
         [&] { return countOption(line, QStringLiteral("--valid-for"), &request.validDays); }});
    if (counted.failed())
        return counted;
    QString sources;
    Result published = publishRepository(request, &sources);
    if (published.failed())
        return published;
    const Result printed = writeStandardOutput(sources.toUtf8());
    if (printed.failed())
        return printed;
    published.message += QStringLiteral(" выведена в стандартный вывод");
    return published;
}

} // namespace

Result runCommand(const CommandLine &line)
{
    const bool save = line.flags.contains(saveOption);
    // The access lists the build applies and the one --save writes live below
    // HOME; the profiles do too, which checkSettingsFile sees to.
    if (line.command == QLatin1String("deb") || (line.command == QLatin1String("access") && save)) {
        const Result home = requireHome();
        if (home.failed())
            return home;
    }
    Profile profile;
    if (line.values.contains(profileOption)) {
        const Result store = checkSettingsFile();
        if (store.failed())
            return store;
        const QString name = line.values.value(profileOption);
        if (!profileNames().contains(name))
            return Result::failure(QStringLiteral("Профиль «%1» не найден").arg(name));
        profile = loadProfile(name);
    }
    if (line.command == QLatin1String("exe")) {
        ExecutableBuild build;
        const Result read = executableBuild(line, profile, &build);
        const Result made = read.failed() ? read : makeOutputDirectory(build.binaryDir);
        return made.failed() ? made : buildExecutable(build);
    }
    if (line.command == QLatin1String("repo"))
        return publish(line, profile);

    const QString workDir = value(line, workDirOption, profile.projectDirDeb);
    if (line.command == QLatin1String("deb")) {
        const QString outputDir = value(line, outputDirOption, profile.debDir);
        const Result made = makeOutputDirectory(outputDir);
        if (made.failed())
            return made;
        // On a terminal the message says all that the tools' output tells the user, each thing once: the
        // package where it lies, their warnings, lintian's tags. Their running output would repeat it, name
        // the private staging directory and add chatter.
        const QuietOutput quiet;
        const bool fromProfile = line.values.contains(profileOption);
        return buildPackage(workDir, outputDir, line.flags.contains(lintOption) || (fromProfile && profile.lint),
                            packageCompression(line, profile),
                            line.flags.contains(reproducibleOption) || (fromProfile && profile.checkReproducible),
                            nullptr, LintOrder::VerdictLast);
    }
    const Result chosen = requireWorkDirectory(workDir);
    if (chosen.failed())
        return chosen;
    if (line.command == QLatin1String("docs"))
        return packageDocs(workDir, line);
    if (line.command == QLatin1String("md5sums"))
        return writeChecksums(workDir);
    if (line.command == QLatin1String("size"))
        return refreshInstalledSize(workDir);
    if (line.command == QLatin1String("service"))
        return addServiceScripts(workDir);
    if (line.command == QLatin1String("icons"))
        return writeIconSet(workDir, value(line, QStringLiteral("--picture")));
    return accessList(workDir, save);
}

Outcome outcome(const Result &result, bool cancelled)
{
    if (cancelled)
        return {cancelledText(), 1};
    QStringList parts{result.message, result.details};
    parts.removeAll(QString());
    return {parts.join(QLatin1Char('\n')), result.failed() || result.checkFailed ? 1 : 0};
}

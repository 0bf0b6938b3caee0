#include "package/debbuild/architecturecheck.h"

#include "exebuild/buildtarget.h"
#include "package/debbuild/buildphases.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <elf.h>

namespace {

// The lines naming files, five at most, then how many more.
QString listed(const QStringList &lines)
{
    QStringList named = lines.mid(0, 5);
    if (lines.size() > named.size())
        named << QStringLiteral("и ещё %1").arg(lines.size() - named.size());
    return named.join(QLatin1Char('\n'));
}

// What code an ELF file or an architecture is for.
struct Target
{
    QString cpu; // the GNU cpu name: an architecture's own, a file's from its machine
    int bits = 0;
    bool bigEndian = false;
    int machine = EM_NONE; // a file's e_machine

    QString described() const
    {
        return QStringLiteral("%1, %2 бита, %3")
            .arg(cpu)
            .arg(bits)
            .arg(bigEndian ? QStringLiteral("big-endian") : QStringLiteral("little-endian"));
    }
};

// The machines whose GNU cpu names are known here: the name shown and the
// pattern of the names dpkg-architecture gives for them.
struct Machine
{
    int number;
    const char *name;
    const char *cpus;
};
const Machine machines[] = {
    {EM_X86_64, "x86_64", "x86_64"},
    {EM_386, "i386", "i[3-6]86"},
    {EM_AARCH64, "aarch64", "aarch64.*"},
    {EM_ARM, "arm", "arm.*"},
    {EM_RISCV, "riscv", "riscv.*"},
    {EM_PPC, "powerpc", "powerpc(?:le)?"},
    {EM_PPC64, "powerpc64", "powerpc64.*"},
    {EM_S390, "s390", "s390x?"},
    {EM_MIPS, "mips", "mips.*"},
    {EM_LOONGARCH, "loongarch", "loongarch.*"},
    {EM_SPARC, "sparc", "sparc"},
    {EM_SPARCV9, "sparc64", "sparc64"},
    {EM_PARISC, "hppa", "hppa.*"},
    {EM_68K, "m68k", "m68k"},
    {EM_IA_64, "ia64", "ia64"},
    {EM_ALPHA, "alpha", "alpha.*"},
    {EM_SH, "sh", "sh.*"},
};

const Machine *machineOf(int number)
{
    for (const Machine &machine : machines) {
        if (machine.number == number)
            return &machine;
    }
    return nullptr;
}

// What the ELF file at path is for, from the first bytes of its header; no
// cpu where the header is short, damaged or of a machine not known here.
Target fileTarget(const QString &path)
{
    QFile file(path);
    unsigned char header[EI_NIDENT + 4]; // e_ident, e_type, e_machine: the same in both classes
    if (!file.open(QIODevice::ReadOnly) || file.read(reinterpret_cast<char *>(header), sizeof header) != sizeof header
        || (header[EI_CLASS] != ELFCLASS32 && header[EI_CLASS] != ELFCLASS64)
        || (header[EI_DATA] != ELFDATA2LSB && header[EI_DATA] != ELFDATA2MSB))
        return Target();
    Target target;
    target.bits = header[EI_CLASS] == ELFCLASS64 ? 64 : 32;
    target.bigEndian = header[EI_DATA] == ELFDATA2MSB;
    const unsigned char *machine = header + EI_NIDENT + 2;
    target.machine = target.bigEndian ? machine[0] << 8 | machine[1] : machine[1] << 8 | machine[0];
    if (const Machine *known = machineOf(target.machine))
        target.cpu = QString::fromLatin1(known->name);
    return target;
}

// What dpkg-architecture says the architecture runs; no cpu for one it does
// not know.
Result architectureTarget(const QString &architecture, Target *target)
{
    QHash<QString, QString> values;
    const ProcessResult answer = architectureValues(architecture, &values);
    if (!answer.started || answer.crashed)
        return Result::doneWith({QStringLiteral("Не удалось проверить архитектуру файлов ELF (dpkg-architecture): ")
                                 + answer.failureText()});
    if (answer.exitCode != 0)
        return Result::done();
    target->bits = values.value(QStringLiteral("DEB_HOST_ARCH_BITS")).toInt();
    target->bigEndian = values.value(QStringLiteral("DEB_HOST_ARCH_ENDIAN")) == QLatin1String("big");
    if (target->bits > 0)
        target->cpu = values.value(QStringLiteral("DEB_HOST_GNU_CPU"));
    return Result::done();
}

// Whether lintian lets the file, installed at path, pass in a package for
// the architecture, or it may run there.
bool fits(const Target &file, const Target &architecture, const QString &path)
{
    static const QRegularExpression exempt(QStringLiteral(
        "^(?:usr/lib/debug/\\.build-id/|(?:usr/)?lib/firmware/|usr/lib(?:/[^/]+)+/guile/[^/]+/.+\\.go$)"));
    static const QRegularExpression libraryWidth(QStringLiteral("(?:^|/)lib(x?\\d\\d)/"));
    static const QRegularExpression emulationWidth(QStringLiteral("^emul/ia(\\d\\d)"));
    const QRegularExpression cpus(QRegularExpression::anchoredPattern(machineOf(file.machine)->cpus));
    if (exempt.match(path).hasMatch()
        || (cpus.match(architecture.cpu).hasMatch() && file.bits == architecture.bits
            && file.bigEndian == architecture.bigEndian))
        return true;
    // The old multiarch directories (lib32/, lib64/, libx32/, emul/ia32/) hold code of the word size they name.
    QString width = libraryWidth.match(path).captured(1);
    if (width.isEmpty())
        width = emulationWidth.match(path).captured(1);
    const bool littleEndian32 = file.bits == 32 && !file.bigEndian;
    return width == QString::number(file.bits)
           || (width == QLatin1String("x32") && littleEndian32 && file.machine == EM_X86_64)
           || (path.startsWith(QLatin1String("lib/modules/")) && architecture.bits == 32 && file.bits == 64
               && file.bigEndian == architecture.bigEndian)
           || (architecture.cpu == QLatin1String("x86_64") && architecture.bits == 64 && littleEndian32
               && file.machine == EM_386);
}

// Refuses the ELF files below root made for another architecture than the
// concrete one named.
Result checkElfTargets(const QString &architecture, const QString &root, const QStringList &elfFiles)
{
    const PhaseTimer timer(BuildPhase::Elf);
    Target expected;
    const Result asked = architectureTarget(architecture, &expected);
    if (expected.cpu.isEmpty())
        return asked;
    QStringList foreign;
    for (const QString &path : elfFiles) {
        const Target file = fileTarget(root + QLatin1Char('/') + path);
        if (!file.cpu.isEmpty() && !fits(file, expected, path))
            foreign << QStringLiteral("/%1: %2").arg(path, file.described());
    }
    if (foreign.isEmpty())
        return Result::done();
    return Result::failure(QStringLiteral("DEBIAN/control: «Architecture: %1» (%2), но эти файлы ELF собраны для "
                                          "другой архитектуры: соберите их для %1 или укажите в поле Architecture "
                                          "ту, для которой они собраны:\n%3")
                               .arg(architecture, expected.described(), listed(foreign)));
}

} // namespace

Result checkStagedArchitecture(const ControlParagraph &paragraph, const QString &root, const QStringList &elfFiles)
{
    const QString architecture = paragraph.value(QStringLiteral("Architecture")).trimmed();
    if (architecture == QLatin1String("all") && !elfFiles.isEmpty()) {
        QStringList named;
        for (const QString &file : elfFiles)
            named << QLatin1Char('/') + file;
        return Result::doneWith({QStringLiteral("DEBIAN/control: «Architecture: all», но в пакете есть программы и "
                                                "библиотеки ELF, которые работают только на своей архитектуре: "
                                                "укажите её (например, amd64):\n")
                                 + listed(named)});
    }
    if (architecture.isEmpty() || architecture == QLatin1String("all"))
        return Result::done();
    if (!elfFiles.isEmpty())
        return checkElfTargets(architecture, root, elfFiles);
    static const QRegularExpression nothingToRun(
        QStringLiteral("transitional package|meta[ -]?package|(?:dependency|dummy|empty) package"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression taskSection(QStringLiteral("(?:^|/)(?:tasks|metapackages)$"));
    if (nothingToRun.match(paragraph.value(QStringLiteral("Description"))).hasMatch()
        || taskSection.match(paragraph.value(QStringLiteral("Section")).trimmed()).hasMatch())
        return Result::done();
    return Result::doneWith({QStringLiteral("DEBIAN/control: «Architecture: %1», но в пакете нет программ и "
                                            "библиотек ELF, которые зависели бы от архитектуры: укажите "
                                            "«Architecture: all»")
                                 .arg(architecture)});
}

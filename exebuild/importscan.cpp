#include "exebuild/importscan.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/processrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The scanner, run by the chosen runtime as `python3.X -I -c`: the runtime's
// own parser and import machinery decide, so the answer is the one that
// runtime gives. It reads the modules with ast and compiles them, never
// running a line of them; it resolves names with PathFinder on the script's
// directory followed by the runtime's path, as `python3.X main.py` would,
// without importing anything. Every package of the program comes whole:
// a name computed at run time may import any of its modules. Arguments: the
// script, the directory for the bytecode files and for its answer,
// scan.json, then "+NAME" for each module added by hand and "-NAME" for each
// left out.
const char scanner[] = R"PY(
import ast, inspect, json, marshal, os, sys, _imp
from importlib.machinery import PathFinder, SourceFileLoader, ExtensionFileLoader

script, output = sys.argv[1], sys.argv[2]
# Modules added by hand ("+name") and left out ("-name", with what lies below).
include = [word[1:] for word in sys.argv[3:] if word[:1] == '+']
exclude = [word[1:] for word in sys.argv[3:] if word[:1] == '-']
top = os.path.dirname(os.path.abspath(script))
search = [top] + sys.path
GUARDS = {'ImportError', 'ModuleNotFoundError', 'Exception', 'BaseException'}
# What compiled code answers differently, wherever the program asks it: it
# has no frames to read, and its functions and generators are of types of
# their own.
WHOLE = {('sys', '_getframe'), ('inspect', 'currentframe'), ('inspect', 'stack')} | {
    (owner, name) for owner in ('types', 'inspect') for name in (
        'GeneratorType', 'CoroutineType', 'AsyncGeneratorType', 'FunctionType', 'LambdaType', 'isfunction',
        'isgenerator', 'isgeneratorfunction', 'iscoroutinefunction', 'isasyncgenfunction')}

def last_name(node):
    if isinstance(node, ast.Name):
        return node.id
    if isinstance(node, ast.Attribute):
        return node.attr
    if isinstance(node, ast.Call):
        return last_name(node.func)
    return None

def guards(types):
    return any(last_name(item) in GUARDS for item in (types.elts if isinstance(types, ast.Tuple) else [types]))

class Reader(ast.NodeVisitor):
    """The imports of one module with their lines and guards, and what the translator gets wrong in it."""
    def __init__(self):
        self.imports, self.reasons, self.whole, self.guarded = [], [], None, 0

    def note(self, node, reason):
        self.reasons.append('%s (строка %d)' % (reason, node.lineno))

    def use(self, owner, name, node):
        if (owner, name) in WHOLE and not self.whole:
            self.whole = '%s.%s (строка %d)' % (owner, name, node.lineno)

    def guarding(self, guarded, nodes):
        self.guarded += guarded
        for node in nodes:
            self.visit(node)
        self.guarded -= guarded

    def visit_Try(self, node):
        self.guarding(any(h.type is None or guards(h.type) for h in node.handlers), node.body)
        for part in node.handlers + node.orelse + node.finalbody:
            self.visit(part)
    visit_TryStar = visit_Try

    def visit_With(self, node):
        suppressed = any(isinstance(item.context_expr, ast.Call) and last_name(item.context_expr) == 'suppress'
                         and any(guards(a) for a in item.context_expr.args) for item in node.items)
        self.guarding(suppressed, node.body)

    def visit_If(self, node):
        if last_name(node.test) != 'TYPE_CHECKING':
            self.visit(node.test)
            for statement in node.body:
                self.visit(statement)
        for statement in node.orelse:
            self.visit(statement)

    def add(self, node, level, name, names):
        self.imports.append((level, name, names, node.lineno, self.guarded > 0))

    def visit_Import(self, node):
        for alias in node.names:
            self.add(node, 0, alias.name, [])

    def visit_ImportFrom(self, node):
        names = [alias.name for alias in node.names]
        if node.module == '__future__' and 'annotations' in names:
            self.note(node, 'from __future__ import annotations')
        for name in names:
            self.use(node.module, name, node)
        self.add(node, node.level, node.module or '', [name for name in names if name != '*'])

    def visit_Attribute(self, node):
        if isinstance(node.value, ast.Name):
            self.use(node.value.id, node.attr, node)
        self.generic_visit(node)

    def visit_Call(self, node):
        first = node.args[0] if node.args else None
        if last_name(node.func) in ('import_module', '__import__') and isinstance(first, ast.Constant) \
                and isinstance(first.value, str) and first.value and not first.value.startswith('.'):
            self.add(node, 0, first.value, [])
        self.generic_visit(node)

    def visit_ClassDef(self, node):
        for base in node.bases:
            if isinstance(base, (ast.Subscript, ast.Call)) or last_name(base) in ('NamedTuple', 'TypedDict'):
                self.note(base, 'базовый класс %s' % ast.unparse(base))
        for statement in node.body:
            if isinstance(statement, ast.AnnAssign):
                self.note(statement, 'аннотация поля класса %s' % ast.unparse(statement.target))
            elif isinstance(statement, (ast.FunctionDef, ast.AsyncFunctionDef)) \
                    and statement.name in ('__init_subclass__', '__class_getitem__') \
                    and 'classmethod' not in [last_name(d) for d in statement.decorator_list]:
                self.note(statement, '%s без @classmethod' % statement.name)
        self.generic_visit(node)

found = {}
def look(name, locations):
    # As PathFinder.find_spec, but a namespace package keeps its plain list
    # of directories: find_spec's own asks sys.modules for the parent, which
    # nothing imported here.
    try:
        found = PathFinder._get_spec(name, list(locations))
    except (ImportError, OSError, ValueError):
        return None
    return found if found is not None and (found.loader or found.submodule_search_locations) else None

def find(name):
    """What the runtime would load for name, the script's directory first; 'builtin' for its own modules."""
    if name not in found:
        parent = name.rpartition('.')[0]
        if not parent:
            builtin = name in sys.builtin_module_names or _imp.is_frozen(name)
            found[name] = 'builtin' if builtin else look(name, search)
        elif find(parent) in (None, 'builtin'):
            found[name] = find(parent)
        else:
            locations = find(parent).submodule_search_locations
            found[name] = look(name, locations) if locations else None
    return found[name]

def below_top(path):
    return path is not None and os.path.abspath(path).startswith(top + os.sep)

result = {'version': sys.version, 'modules': [], 'outside': [], 'missing': [], 'excluded': [], 'left_out': [],
          'whole': '', 'error': None}
own = {'__main__': {'name': '__main__', 'path': os.path.basename(script), 'kind': 'source', 'package': False,
                    'carried': False}}
queue, outside = ['__main__'], {}

def missing(name, importer, line, guarded, carried):
    result['missing'].append({'name': name, 'file': importer, 'line': line, 'guarded': guarded, 'carried': carried})

def excluded(name):
    return any(name == left or name.startswith(left + '.') for left in exclude)

# Carried modules are those taken only because their package is part of
# the program: no import the program is sure to run reaches them, so what
# they import is at most recommended, and a module among them the runtime
# cannot compile is left out.
def take(name, where, importer, line, guarded, carried):
    """Records a module of the program, or the file of an outside one; False when it resolves nowhere."""
    locations = where.submodule_search_locations
    if where.loader is None:
        if not all(below_top(path) for path in locations):
            return True
        kind, path = 'namespace', os.path.relpath(list(locations)[0], top)
    elif isinstance(where.loader, (SourceFileLoader, ExtensionFileLoader)) and below_top(where.origin):
        kind = 'source' if isinstance(where.loader, SourceFileLoader) else 'extension'
        path = os.path.relpath(where.origin, top)
    elif below_top(where.origin):
        missing(name, importer, line, guarded, carried)
        return False
    else:
        entry = outside.setdefault(name, {'name': name, 'file': where.origin, 'guarded': True})
        entry['guarded'] = entry['guarded'] and (guarded or carried)
        return True
    if name not in own:
        own[name] = {'name': name, 'path': path, 'kind': kind, 'package': locations is not None, 'carried': carried}
        if kind == 'source':
            queue.append(name)
    return True

def want(name, importer, line, guarded, carried):
    """Records the import of name and of its parents, which run first; False when it resolves nowhere or is left
    out."""
    parts = name.split('.')
    for end in range(1, len(parts) + 1):
        dotted = '.'.join(parts[:end])
        if excluded(dotted):
            if not carried and dotted not in [left['name'] for left in result['excluded']]:
                result['excluded'].append({'name': dotted, 'file': importer, 'line': line})
            return False
        where = find(dotted)
        if where is None:
            missing(dotted, importer, line, guarded, carried)
            return False
        if where != 'builtin' and not take(dotted, where, importer, line, guarded, carried):
            return False
    return True

def absolute(name, package, level, module):
    """The dotted name a relative import means inside module name, or None beyond the top level."""
    base = name.split('.') if package else name.split('.')[:-1]
    if name == '__main__' or level - 1 >= len(base):
        return None
    return '.'.join(base[:len(base) - level + 1] + ([module] if module else []))

def read(entry):
    """Compiles a module of the program to bytecode and follows its imports; a syntax error fails the build, or
    leaves the module out when it is carried."""
    path = entry['path']
    with open(os.path.join(top, path), 'rb') as source:
        text = source.read()
    try:
        code = compile(text, path, 'exec', dont_inherit=True)
    except (SyntaxError, ValueError) as error:
        failure = {'name': entry['name'], 'file': os.path.join(top, getattr(error, 'filename', None) or path),
                   'line': getattr(error, 'lineno', 0) or 0, 'reason': getattr(error, 'msg', str(error))}
        if entry['carried']:
            entry['kind'] = 'left out'
            result['left_out'].append(failure)
        else:
            result['error'] = failure
        return
    entry['bytecode'] = os.path.join(output, '%d.bin' % len(result['modules']))
    with open(entry['bytecode'], 'wb') as compiled:
        compiled.write(marshal.dumps(code))
    reader = Reader()
    reader.visit(ast.parse(text, path))
    entry['reasons'] = reader.reasons
    if reader.whole and not result['whole']:
        result['whole'] = '%s: %s' % (path, reader.whole)
    result['modules'].append(entry)
    for level, module, names, line, guarded in reader.imports:
        module = absolute(entry['name'], entry['package'], level, module) if level else module
        if module is not None and want(module, path, line, guarded, entry['carried']):
            for item in names:
                if find(module + '.' + item) not in (None, 'builtin'):
                    want(module + '.' + item, path, line, guarded, entry['carried'])

def carry(package):
    """Takes every module and sub-package in the package's directories: a name computed at run time or the
    package's own listing of its plugins may reach any of them."""
    for directory in find(package).submodule_search_locations or []:
        try:
            names = sorted(os.listdir(directory)) if below_top(directory) else []
        except OSError:
            names = []
        for name in names:
            module = inspect.getmodulename(name) or (name if os.path.isdir(os.path.join(directory, name)) else '')
            if module and '.' not in module and module not in ('__init__', '__pycache__'):
                want(package + '.' + module, os.path.relpath(os.path.join(directory, name), top), 0, False, True)

for name in include:
    want(name, '', 0, False, False)
walked = set()
while not result['error']:
    while queue and not result['error']:
        read(own[queue.pop(0)])
    packages = [name for name, entry in own.items()
                if entry['package'] and entry['kind'] != 'left out' and name not in walked]
    if result['error'] or not packages:
        break
    walked.update(packages)
    for name in packages:
        carry(name)
# A directory carried as a namespace package that holds no module is data.
holding = {'.'.join(name.split('.')[:end]) for name, entry in own.items() if entry['kind'] != 'namespace'
           for end in range(1, name.count('.') + 1)}
result['modules'] += [entry for name, entry in own.items() if entry['kind'] in ('extension', 'namespace')
                      and not (entry['kind'] == 'namespace' and entry['carried'] and name not in holding)]
result['outside'] = list(outside.values())
with open(os.path.join(output, 'scan.json'), 'w') as written:
    json.dump(result, written)
)PY";

ProgramModule::Kind moduleKind(const QString &kind)
{
    if (kind == QLatin1String("extension"))
        return ProgramModule::Kind::Extension;
    if (kind == QLatin1String("namespace"))
        return ProgramModule::Kind::Namespace;
    return ProgramModule::Kind::Source;
}

} // namespace

Result parseScan(const QByteArray &json, ProgramScan *scan)
{
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json, &error).object();
    if (error.error != QJsonParseError::NoError || !root.contains(QLatin1String("modules")))
        return Result::failure(QStringLiteral("Не удалось прочитать список импортов программы: %1")
                                   .arg(error.error != QJsonParseError::NoError
                                            ? error.errorString()
                                            : QStringLiteral("нет списка модулей")));
    const QJsonObject syntax = root.value(QLatin1String("error")).toObject();
    if (!syntax.isEmpty())
        return Result::failure(QStringLiteral("Ошибка при сборке файла .c:\n%1, строка %2: %3")
                                   .arg(syntax.value(QLatin1String("file")).toString(),
                                        QString::number(syntax.value(QLatin1String("line")).toInt()),
                                        syntax.value(QLatin1String("reason")).toString()));
    scan->runtimeVersion = root.value(QLatin1String("version")).toString();
    scan->whole = root.value(QLatin1String("whole")).toString();
    scan->modules.clear();
    for (const QJsonValue &value : root.value(QLatin1String("modules")).toArray()) {
        const QJsonObject module = value.toObject();
        ProgramModule read;
        read.name = module.value(QLatin1String("name")).toString();
        read.path = module.value(QLatin1String("path")).toString();
        read.kind = moduleKind(module.value(QLatin1String("kind")).toString());
        read.package = module.value(QLatin1String("package")).toBool();
        for (const QJsonValue &reason : module.value(QLatin1String("reasons")).toArray())
            read.reasons << reason.toString();
        read.bytecodeFile = module.value(QLatin1String("bytecode")).toString();
        read.carried = module.value(QLatin1String("carried")).toBool();
        scan->modules << read;
    }
    scan->outside.clear();
    for (const QJsonValue &value : root.value(QLatin1String("outside")).toArray()) {
        const QJsonObject import = value.toObject();
        scan->outside << OutsideImport{import.value(QLatin1String("name")).toString(),
                                       import.value(QLatin1String("file")).toString(),
                                       import.value(QLatin1String("guarded")).toBool()};
    }
    const auto imports = [&root](const char *key) {
        QList<MissingImport> read;
        for (const QJsonValue &value : root.value(QLatin1String(key)).toArray()) {
            const QJsonObject import = value.toObject();
            read << MissingImport{
                import.value(QLatin1String("name")).toString(),  import.value(QLatin1String("file")).toString(),
                import.value(QLatin1String("line")).toInt(),     import.value(QLatin1String("guarded")).toBool(),
                import.value(QLatin1String("carried")).toBool(), import.value(QLatin1String("reason")).toString()};
        }
        return read;
    };
    scan->missing = imports("missing");
    scan->excluded = imports("excluded");
    scan->leftOut = imports("left_out");
    return Result::done();
}

Result scanProgram(const QString &interpreter, const QString &script, const QString &directory,
                   const QStringList &include, const QStringList &exclude, ProgramScan *scan)
{
    QStringList arguments{QStringLiteral("-I"), QStringLiteral("-c"), QString::fromUtf8(scanner),
                          QFileInfo(script).absoluteFilePath(), directory};
    for (const QString &name : include)
        arguments << QLatin1Char('+') + name;
    for (const QString &name : exclude)
        arguments << QLatin1Char('-') + name;
    const ProcessResult run = runProcess(interpreter, arguments, directory);
    QByteArray json;
    if (!run.succeeded() || readRegularFile(directory + QStringLiteral("/scan.json"), &json).failed())
        return Result::failure(
            jobCancelled()
                ? cancelledText()
                : QStringLiteral("Не удалось найти импорты программы (%1):\n%2").arg(interpreter, run.failureText()));
    Result parsed = parseScan(json, scan);
    if (parsed.success)
        parsed.warnings << run.warnings();
    return parsed;
}

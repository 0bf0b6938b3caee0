#include "exebuild/programsource.h"

#include <QStringList>

namespace {

// Run by the entry point once the interpreter is up, with `table` (dotted
// name to kind, path below the data directory, package flag and bytecode)
// in its globals. The data directory follows the executable's real path
// (/proc/self/exe), so a link to the executable does not move it. It leaves
// in `main` the module to run as __main__, or None when the process was a
// child that multiprocessing started, which it has run.
const char bootstrap[] = R"PY(
import os, sys, marshal, _imp
from _frozen_importlib import ModuleSpec, module_from_spec
from _frozen_importlib_external import ExtensionFileLoader, FileFinder, _get_supported_file_loaders

def data_directory(executable):
    directory, name = os.path.split(executable)
    parent, last = os.path.split(directory)
    if last == 'games' and os.path.basename(parent) == 'usr':
        return os.path.join(parent, 'share', 'games', name)
    return os.path.join(parent, 'share', name)

class Located:
    """What importlib's FileReader needs of a loader: the path of a file in the package's directory."""
    def __init__(self, path):
        self.path = path

class Program:
    """Serves the program's modules from the executable, before any other finder looks, and lists the modules of
    each of its packages as pkgutil lists the files of a package's directory."""
    def __init__(self, table, data):
        self.table, self.data, self.listings = table, data, {}
        for name, (kind, relative, package, code) in table.items():
            path = os.path.join(data, relative)
            if package or kind == 'namespace':
                self.listings.setdefault(path if kind == 'namespace' else os.path.dirname(path), [])
        for name, (kind, relative, package, code) in table.items():
            path = os.path.join(data, relative)
            path = os.path.dirname(path) if package else path
            listing = self.listings.get(os.path.dirname(path))
            # A directory without __init__ is no package to pkgutil.
            if listing is not None and kind != 'namespace':
                listing.append((os.path.basename(path), name.rpartition('.')[2], package))

    def described(self, name, entry):
        kind, relative, package, code = self.table[entry]
        origin = os.path.join(self.data, relative)
        if kind == 'namespace':
            found = ModuleSpec(name, None, is_package=True)
            found.submodule_search_locations = [origin]
            return found
        loader = ExtensionFileLoader(name, origin) if kind == 'extension' else self
        found = ModuleSpec(name, loader, origin=origin, is_package=package)
        if package:
            found.submodule_search_locations = [os.path.dirname(origin)]
        found.has_location = True
        return found

    def find_spec(self, name, path=None, target=None):
        return self.described(name, name) if name in self.table else None

    def entry(self, name):
        # __mp_main__ is the main module as multiprocessing's children run it.
        return self.table['__main__' if name == '__mp_main__' else name]

    def create_module(self, found):
        return _imp.create_builtin(found) if self.entry(found.name)[0] == 'compiled' else None

    def exec_module(self, module):
        if self.entry(module.__spec__.name)[0] == 'compiled':
            _imp.exec_builtin(module)
        else:
            exec(self.code(module.__spec__), module.__dict__)

    def code(self, found):
        code = marshal.loads(self.entry(found.name)[3])
        _imp._fix_co_filename(code, found.origin)
        return code

    def get_data(self, path):
        with open(path, 'rb') as data:
            return data.read()

    def get_resource_reader(self, name):
        from importlib.resources.readers import FileReader
        return FileReader(Located(self.described(name, name).origin))

    def directory(self, path):
        """The path hook for the directories of the program's packages."""
        if path not in self.listings:
            raise ImportError('not a package of the program', path=path)
        return Directory(path, self.listings[path])

class Directory:
    """A package's directory: pkgutil lists the package's modules, in the order of their file names; what the
    program does not hold is looked for in the files there."""
    def __init__(self, path, listing):
        self.path, self.listing = path, sorted(listing)
        self.files = FileFinder(path, *_get_supported_file_loaders())

    def find_spec(self, name, target=None):
        return self.files.find_spec(name, target)

    def invalidate_caches(self):
        self.files.invalidate_caches()

    def iter_modules(self, prefix=''):
        return [(prefix + name, package) for _, name, package in self.listing]

def main_module(name):
    module = module_from_spec(program.described(name, '__main__'))
    module.__builtins__ = sys.modules['builtins']
    return module

# multiprocessing starts a child of the program (spawn, forkserver, the
# resource tracker) as `sys.executable [FLAGS] -c CODE [--multiprocessing-fork]`.
# Such a child unpickles what arrives on its descriptors, which runs code,
# so the line is honoured only from this same program, run by the same
# user, on descriptors that are pipes or sockets; never otherwise, lest
# the program run what a caller with other rights hands it. The flags
# repeat the parent's, this program's own: they are read past, not applied.
FLAGS = {'-I', '-E', '-s', '-S', '-P', '-B', '-q', '-O', '-OO', '-R'}

def past_flags(words):
    at = 0
    while at < len(words):
        word = words[at]
        if word == '-X' and at + 1 < len(words):
            at += 2
        elif word in FLAGS or (word[:2] == '-W' and len(word) > 2) or (
                len(word) > 1 and word[0] == '-' and word[1] in 'bdv' and word[1:] == word[1] * (len(word) - 1)):
            at += 1
        else:
            break
    return at

def spawned(args, keywords):
    if args or 'pipe_handle' not in keywords or not keywords.keys() <= {'pipe_handle', 'tracker_fd'}:
        return None
    return [keywords['pipe_handle']] + ([] if keywords.get('tracker_fd') is None else [keywords['tracker_fd']])

def tracker(args, keywords):
    return None if keywords or len(args) != 1 else args

FORKSERVER = {'main_path': str, 'sys_path': list, 'sys_argv': list, 'authkey_r': int}

def forkserver(args, keywords):
    if len(args) != 3 or type(args[2]) is not list or not all(type(name) is str for name in args[2]):
        return None
    for key, value in keywords.items():
        kind = FORKSERVER.get(key)
        if kind is None or not ((value is None and kind is not int) or type(value) is kind) or (
                kind is list and not all(type(item) is str for item in value)):
            return None
    return args[:2] + [keywords[key] for key in ('authkey_r',) if key in keywords]

# The lines of Python 3.11 to 3.14: the module and function imported, the
# words after the code, and the check of the arguments (literals only),
# which names the descriptors the child gets.
CHILDREN = {('multiprocessing.spawn', 'spawn_main'): (['--multiprocessing-fork'], spawned),
            ('multiprocessing.resource_tracker', 'main'): ([], tracker),
            ('multiprocessing.forkserver', 'main'): ([], forkserver)}

def channel(fd):
    try:
        return type(fd) is int and fd >= 3 and os.fstat(fd).st_mode & 0o170000 in (0o010000, 0o140000)
    except OSError:
        return False

def started_by_this_program():
    """Whether the parent process runs this same executable, as the same real and effective user and group."""
    parent = os.getppid()
    try:
        own, theirs = os.stat('/proc/self/exe'), os.stat('/proc/%d/exe' % parent)
        with open('/proc/%d/status' % parent) as status:
            ids = {line.split(':')[0]: line.split()[1:3] for line in status if line.startswith(('Uid:', 'Gid:'))}
    except OSError:
        return False
    uid, gid = os.getuid(), os.getgid()
    return ((own.st_dev, own.st_ino) == (theirs.st_dev, theirs.st_ino) and os.geteuid() == uid
            and os.getegid() == gid and ids.get('Uid') == [str(uid)] * 2 and ids.get('Gid') == [str(gid)] * 2)

def child_call(argv):
    """The child multiprocessing asks for, as (module, function, arguments, keywords, words after the code),
    parsed without running any of it; None for any other command line."""
    words = argv[1:]
    at = past_flags(words)
    if words[at:at + 1] != ['-c'] or at + 1 == len(words):
        return None
    import ast
    try:
        statements = ast.parse(words[at + 1]).body
        source, run = statements if len(statements) == 2 else (None, None)
        if not (isinstance(source, ast.ImportFrom) and source.level == 0 and len(source.names) == 1
                and source.names[0].asname is None and isinstance(run, ast.Expr) and isinstance(run.value, ast.Call)
                and isinstance(run.value.func, ast.Name) and run.value.func.id == source.names[0].name):
            return None
        after, check = CHILDREN.get((source.module, run.value.func.id), (None, None))
        if check is None or words[at + 2:] != after:
            return None
        args, keywords = [ast.literal_eval(node) for node in run.value.args], {}
        for keyword in run.value.keywords:
            value = ast.literal_eval(keyword.value)
            more = value if keyword.arg is None else {keyword.arg: value}
            if type(more) is not dict or any(type(key) is not str or key in keywords for key in more):
                return None
            keywords.update(more)
    except (SyntaxError, ValueError, TypeError, MemoryError, RecursionError):
        return None
    descriptors = check(args, keywords)
    if descriptors is None or not all(channel(fd) for fd in descriptors) or not started_by_this_program():
        return None
    return source.module, run.value.func.id, args, keywords, after

def run_child(module, function, args, keywords, after):
    """Runs the child as `python3 -c` would. Where the interpreter runs main.py again as __mp_main__ for the
    child (the parent names its main module), the compiled main module is initialised under that name."""
    sys.argv = ['-c'] + after
    from multiprocessing import spawn
    by_name, by_path = spawn._fixup_main_from_name, spawn._fixup_main_from_path
    origin, loaded = program.described('__main__', '__main__').origin, []

    def load_main():
        if loaded:
            return
        mp_main = main_module('__mp_main__')
        sys.modules['__mp_main__'] = mp_main
        try:
            program.exec_module(mp_main)
        except BaseException:
            del sys.modules['__mp_main__']
            raise
        loaded.extend((sys.modules['__main__'], mp_main))
        sys.modules['__main__'] = mp_main

    spawn._fixup_main_from_name = lambda name: load_main() if name in ('__main__', '__mp_main__') else by_name(name)
    spawn._fixup_main_from_path = lambda path: load_main() if path == origin else by_path(path)
    getattr(__import__(module, fromlist=[function]), function)(*args, **keywords)

try:
    executable = os.readlink('/proc/self/exe')
except OSError:
    executable = sys.executable
program = Program(table, data_directory(executable))
sys.meta_path.insert(0, program)
sys.path_hooks.insert(0, program.directory)
child = child_call(sys.argv) if '-c' in sys.argv[1:] else None
main = main_code = None
if child:
    run_child(*child)
else:
    main = main_module('__main__')
    sys.modules['__main__'] = main
    main_code = None if table['__main__'][0] == 'compiled' else program.code(main.__spec__)
)PY";

// The entry point around the table. Errors end as `python3 main.py` ends:
// SystemExit with its code (PyErr_Print exits), a traceback and status 1,
// an interrupt by SIGINT, 120 when the streams cannot be flushed at the end.
const char entryPoint[] = R"C(
static PyObject *bexlor_table(void)
{
    PyObject *table = PyDict_New();
    for (const struct bexlor_module *m = bexlor_modules; table && m->name; ++m) {
        PyObject *code = m->code ? PyMemoryView_FromMemory((char *)m->code, (Py_ssize_t)*m->size, PyBUF_READ)
                                 : Py_NewRef(Py_None);
        PyObject *entry = code ? Py_BuildValue("(ssON)", m->kind, m->path, m->package ? Py_True : Py_False, code) : NULL;
        if (!entry || PyDict_SetItemString(table, m->name, entry) < 0)
            Py_CLEAR(table);
        Py_XDECREF(entry);
    }
    return table;
}

static int bexlor_run(void)
{
    PyObject *globals = PyDict_New(), *table = bexlor_table(), *code = NULL, *done = NULL;
    int failed = !globals || !table || PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins()) < 0
                 || PyDict_SetItemString(globals, "table", table) < 0;
    if (!failed)
        code = Py_CompileString(bexlor_bootstrap, "<bexlor-builder>", Py_file_input);
    if (code)
        done = PyEval_EvalCode(code, globals, globals);
    if (done) {
        PyObject *main = PyDict_GetItemString(globals, "main");
        PyObject *mainCode = PyDict_GetItemString(globals, "main_code");
        PyObject *ran = NULL;
        if (main != Py_None && mainCode == Py_None)
            failed = PyModule_ExecDef(main, PyModule_GetDef(main)) < 0;
        else if (main != Py_None && (ran = PyEval_EvalCode(mainCode, PyModule_GetDict(main), PyModule_GetDict(main))) == NULL)
            failed = 1;
        Py_XDECREF(ran);
    } else {
        failed = 1;
    }
    Py_XDECREF(done);
    Py_XDECREF(code);
    Py_XDECREF(table);
    Py_XDECREF(globals);
    return failed;
}

int main(int argc, char **argv)
{
    for (const struct bexlor_module *m = bexlor_modules; m->name; ++m) {
        if (m->init && PyImport_AppendInittab(m->name, m->init) < 0)
            return 1;
        // A child of the program runs the main module under this name.
        if (m->init && strcmp(m->name, "__main__") == 0 && PyImport_AppendInittab("__mp_main__", m->init) < 0)
            return 1;
    }
    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    config.isolated = 1;
    config.parse_argv = 0;
    PyStatus status = PyConfig_SetBytesArgv(&config, argc, argv);
    if (!PyStatus_Exception(status))
        status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status))
        Py_ExitStatusException(status);
    int code = 0, interrupted = 0;
    if (bexlor_run()) {
        interrupted = PyErr_ExceptionMatches(PyExc_KeyboardInterrupt);
        PyErr_Print();
        code = 1;
    }
    if (Py_FinalizeEx() < 0)
        code = 120;
    if (interrupted) {
        signal(SIGINT, SIG_DFL);
        kill(getpid(), SIGINT);
    }
    return code;
}
)C";

const char *kindName(Linkage linkage)
{
    switch (linkage) {
    case Linkage::Compiled:
        return "compiled";
    case Linkage::Bytecode:
        return "bytecode";
    case Linkage::Extension:
        return "extension";
    case Linkage::Namespace:
        break;
    }
    return "namespace";
}

QByteArray codeName(const QString &dottedName)
{
    return cName(QStringLiteral("bexlor_code_"), dottedName).toLatin1();
}

// An ELF note: name and description each padded to four bytes.
QByteArray noteSource(const QByteArray &text)
{
    const int size = int((text.size() + 1 + 3) / 4 * 4);
    return QByteArrayLiteral("__attribute__((section(\".note.bexlor.python\"), used, aligned(4)))\n"
                             "static const struct { unsigned int namesz, descsz, type; char name[8]; char desc[")
           + QByteArray::number(size) + "]; } bexlor_note = {7, " + QByteArray::number(size) + ", 1, \"Bexlor\", "
           + cStringLiteral(text) + "};\n";
}

} // namespace

QString cName(const QString &prefix, const QString &dottedName)
{
    QString name = prefix;
    for (const char byte : dottedName.toUtf8()) {
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9'))
            name += QLatin1Char(byte);
        else
            name += QStringLiteral("_%1").arg(uint(uchar(byte)), 2, 16, QLatin1Char('0'));
    }
    return name;
}

QString initFunctionName(const QString &dottedName)
{
    return cName(QStringLiteral("bexlor_init_"), dottedName);
}

QString mainFlagName(const QString &dottedName)
{
    return cName(QStringLiteral("bexlor_main_"), dottedName);
}

QByteArray cStringLiteral(const QByteArray &bytes)
{
    QByteArray literal = "\"";
    literal.reserve(bytes.size() * 2 + 2);
    for (const char byte : bytes) {
        const uchar code = uchar(byte);
        if (code >= 0x20 && code < 0x7f && byte != '"' && byte != '\\' && byte != '?') {
            literal += byte;
        } else {
            literal += '\\';
            literal += char('0' + (code >> 6));
            literal += char('0' + ((code >> 3) & 7));
            literal += char('0' + (code & 7));
        }
        if (byte == '\n')
            literal += "\"\n\"";
    }
    return literal + '"';
}

QByteArray bytecodeSource(const QString &dottedName, const QByteArray &code)
{
    QByteArray source = "const unsigned char " + codeName(dottedName) + "[] =\n";
    for (int start = 0; start < code.size(); start += 64)
        source += cStringLiteral(code.mid(start, 64)) + '\n';
    return source + (code.isEmpty() ? "\"\"" : "") + ";\nconst unsigned long " + codeName(dottedName)
           + "_size = sizeof " + codeName(dottedName) + " - 1;\n";
}

QByteArray programSource(const QList<LinkedModule> &modules, const QByteArray &note)
{
    QByteArray source = "#define PY_SSIZE_T_CLEAN\n#include <Python.h>\n#include <signal.h>\n#include <unistd.h>\n\n";
    QByteArray rows;
    for (const LinkedModule &module : modules) {
        QByteArray init = "0", code = "0", size = "0";
        if (module.linkage == Linkage::Compiled) {
            init = initFunctionName(module.name).toLatin1();
            source += "extern PyObject *" + init + "(void);\n";
        } else if (module.linkage == Linkage::Bytecode) {
            code = codeName(module.name);
            size = '&' + code + "_size";
            source += "extern const unsigned char " + code + "[];\nextern const unsigned long " + code + "_size;\n";
        }
        rows += "    {" + cStringLiteral(module.name.toUtf8()) + ", \"" + kindName(module.linkage) + "\", "
                + cStringLiteral(module.path.toUtf8()) + ", " + (module.package ? "1" : "0") + ", " + init + ", " + code
                + ", " + size + "},\n";
    }
    source += "\nstruct bexlor_module {\n    const char *name, *kind, *path;\n    int package;\n"
              "    PyObject *(*init)(void);\n    const unsigned char *code;\n    const unsigned long *size;\n};\n"
              "static const struct bexlor_module bexlor_modules[] = {\n"
              + rows + "    {0, 0, 0, 0, 0, 0, 0},\n};\n\n" + noteSource(note)
              + "\nstatic const char bexlor_bootstrap[] =\n" + cStringLiteral(bootstrap) + ";\n";
    return source + entryPoint;
}

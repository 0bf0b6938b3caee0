#include "exebuild/programsource.h"

#include <QStringList>

namespace {

// Run by the entry point once the interpreter is up, with `table` (dotted
// name to kind, path below the data directory, package flag and bytecode)
// in its globals. The data directory follows the executable's real path
// (/proc/self/exe), so a link to the executable does not move it.
const char bootstrap[] = R"PY(
import os, sys, marshal, _imp
from _frozen_importlib import ModuleSpec, module_from_spec
from _frozen_importlib_external import ExtensionFileLoader

def data_directory(executable):
    directory, name = os.path.split(executable)
    parent, last = os.path.split(directory)
    if last == 'games' and os.path.basename(parent) == 'usr':
        return os.path.join(parent, 'share', 'games', name)
    return os.path.join(parent, 'share', name)

class Program:
    """Serves the program's modules from the executable, before any other finder looks."""
    def __init__(self, table, data):
        self.table, self.data = table, data

    def find_spec(self, name, path=None, target=None):
        if name not in self.table:
            return None
        kind, relative, package, code = self.table[name]
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

    def create_module(self, found):
        return _imp.create_builtin(found) if self.table[found.name][0] == 'compiled' else None

    def exec_module(self, module):
        if self.table[module.__spec__.name][0] == 'compiled':
            _imp.exec_builtin(module)
        else:
            exec(self.code(module.__spec__), module.__dict__)

    def code(self, found):
        code = marshal.loads(self.table[found.name][3])
        _imp._fix_co_filename(code, found.origin)
        return code

    def get_data(self, path):
        with open(path, 'rb') as data:
            return data.read()

try:
    executable = os.readlink('/proc/self/exe')
except OSError:
    executable = sys.executable
program = Program(table, data_directory(executable))
sys.meta_path.insert(0, program)
main_found = program.find_spec('__main__')
main = module_from_spec(main_found)
main.__builtins__ = sys.modules['builtins']
sys.modules['__main__'] = main
main_code = None if table['__main__'][0] == 'compiled' else program.code(main_found)
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
        if (mainCode == Py_None)
            failed = PyModule_ExecDef(main, PyModule_GetDef(main)) < 0;
        else if ((ran = PyEval_EvalCode(mainCode, PyModule_GetDict(main), PyModule_GetDict(main))) == NULL)
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

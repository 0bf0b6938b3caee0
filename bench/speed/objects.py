# Objects and method calls: a small stack machine running programs of instructions, plain and untyped.


class Instruction:
    def __init__(self, name, argument=None):
        self.name = name
        self.argument = argument

    def __repr__(self):
        return 'Instruction(%r, %r)' % (self.name, self.argument)


class Frame:
    def __init__(self, code, variables):
        self.code = code
        self.variables = variables
        self.stack = []
        self.position = 0

    def push(self, value):
        self.stack.append(value)

    def pop(self):
        return self.stack.pop()

    def next(self):
        instruction = self.code[self.position]
        self.position += 1
        return instruction


class Machine:
    def __init__(self):
        self.steps = 0
        self.handlers = {
            'load': self.load, 'store': self.store, 'const': self.const, 'add': self.add, 'sub': self.sub,
            'mul': self.mul, 'mod': self.mod, 'less': self.less, 'jump': self.jump, 'jump_if_false': self.jump_if_false,
        }

    def load(self, frame, argument):
        frame.push(frame.variables[argument])

    def store(self, frame, argument):
        frame.variables[argument] = frame.pop()

    def const(self, frame, argument):
        frame.push(argument)

    def add(self, frame, argument):
        right = frame.pop()
        frame.push(frame.pop() + right)

    def sub(self, frame, argument):
        right = frame.pop()
        frame.push(frame.pop() - right)

    def mul(self, frame, argument):
        right = frame.pop()
        frame.push(frame.pop() * right)

    def mod(self, frame, argument):
        right = frame.pop()
        frame.push(frame.pop() % right)

    def less(self, frame, argument):
        right = frame.pop()
        frame.push(frame.pop() < right)

    def jump(self, frame, argument):
        frame.position = argument

    def jump_if_false(self, frame, argument):
        if not frame.pop():
            frame.position = argument

    def run(self, code, variables):
        frame = Frame(code, dict(variables))
        while frame.position < len(code):
            instruction = frame.next()
            self.handlers[instruction.name](frame, instruction.argument)
            self.steps += 1
        return frame.variables


def program():
    # total = sum((i * i) % 7 for i in range(n))
    return [
        Instruction('const', 0), Instruction('store', 'i'), Instruction('const', 0), Instruction('store', 'total'),
        Instruction('load', 'i'), Instruction('load', 'n'), Instruction('less'), Instruction('jump_if_false', 22),
        Instruction('load', 'total'), Instruction('load', 'i'), Instruction('load', 'i'), Instruction('mul'),
        Instruction('const', 7), Instruction('mod'), Instruction('add'), Instruction('store', 'total'),
        Instruction('load', 'i'), Instruction('const', 1), Instruction('add'), Instruction('store', 'i'),
        Instruction('jump', 4), Instruction('jump', 22),
    ]


machine = Machine()
results = [machine.run(program(), {'n': n})['total'] for n in (50000, 60000, 70000)]
print(results, machine.steps)
